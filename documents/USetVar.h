#pragma once

#include <QWidget>
#include <vector>

#include "documents/TranslateTable.h"
#include "documents/XmlDocument.h"

// The translate table window. Nothing opens it; its writer runs when a new
// project is created and writes var.xml.
class TFSetVar : public QWidget {
  public:
    explicit TFSetVar(QWidget* parent = nullptr);

    TranslateCells Cells;
    std::vector<TMyRec> TableRows;
    XmlDocument XML1;

    // The writer: checks the rows and writes the document. A check that fails
    // shows its message and writes nothing; a document that cannot be saved
    // raises its error to the caller.
    void bitbtn1Click();
    bool CollectRows();
};
