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

// The registered window, built first when there is none; the main window
// owns it from then on.
template <class Window, class Build>
Window& builtOnFirstUse(Window* Forms::*entry, Build build) {
    if (!(forms().*entry))
        build(forms().main);
    return *(forms().*entry);
}

}  // namespace

TFsaveproj& newProjectDialog() {
    return builtOnFirstUse(&Forms::saveproj, [](QWidget* owner) { new TFsaveproj(owner); });
}

TFpargen& generalParameterDialog() {
    return builtOnFirstUse(&Forms::pargen, [](QWidget* owner) { new TFpargen(owner); });
}

TFSetVar& translateTable() {
    return builtOnFirstUse(&Forms::setVar, [](QWidget* owner) { new TFSetVar(owner); });
}

TFAbout2& aboutBox() {
    return builtOnFirstUse(&Forms::about, [](QWidget* owner) { new TFAbout2(owner); });
}

TFBootSer& serialUpdateWizard() {
    return builtOnFirstUse(
        &Forms::bootSer, [](QWidget* owner) { new TFBootSer(platform::systemSerialApi(), owner); });
}
