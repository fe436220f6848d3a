#include "app/Forms.h"

#include "app/UAbout2.h"
#include "app/UTarveleFirmWare.h"
#include "app/Unewp.h"
#include "documents/USetVar.h"
#include "documents/Upargen.h"
#include "platform/SerialApi.h"
#include "update/UBootSer.h"

Forms& forms() {
    static Forms all;
    return all;
}

namespace {

// The window in its slot, built first when the slot is empty: a child of the
// main window, which owns it from then on. The slot empties itself when the
// window goes.
template <class Window, class Build>
Window& builtOnFirstUse(Window* Forms::*slot, Build build) {
    if (!(forms().*slot)) {
        Window* window = build(forms().mainWindow);
        forms().*slot = window;
        QObject::connect(window, &QObject::destroyed, [slot] { forms().*slot = nullptr; });
    }
    return *(forms().*slot);
}

}  // namespace

TFsaveproj& newProjectDialog() {
    return builtOnFirstUse(&Forms::saveproj, [](TFTarveleFirmWare* owner) {
        auto* dialog = new TFsaveproj(owner);
        dialog->projectPaths = owner;
        return dialog;
    });
}

TFpargen& generalParameterDialog() {
    return builtOnFirstUse(&Forms::pargen,
                           [](TFTarveleFirmWare* owner) { return new TFpargen(owner); });
}

TFSetVar& translateTable() {
    return builtOnFirstUse(&Forms::setVar,
                           [](TFTarveleFirmWare* owner) { return new TFSetVar(owner); });
}

TFAbout2& aboutBox() {
    return builtOnFirstUse(&Forms::about,
                           [](TFTarveleFirmWare* owner) { return new TFAbout2(owner); });
}

TFBootSer& serialUpdateWizard() {
    return builtOnFirstUse(&Forms::bootSer, [](TFTarveleFirmWare* owner) {
        auto* wizard = new TFBootSer(platform::systemSerialApi(), owner);
        wizard->updaterRunner = owner;
        return wizard;
    });
}
