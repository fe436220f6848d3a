#include "documents/USetVar.h"

#include "common/Messages.h"
#include "project/Workspace.h"

TFSetVar::TFSetVar(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FSetVar"));
}

bool TFSetVar::CollectRows() {
    if (const auto message = collectRows(Cells, TableRows)) {
        messages::showError(*message);
        return false;
    }
    return true;
}

void TFSetVar::bitbtn1Click() {
    if (const auto message = checkDataTypeNames(Cells)) {
        messages::showError(*message);
        return;
    }
    if (!CollectRows())
        return;
    writeTranslateTable(XML1, TableRows, workspace().translateTablePath);
}
