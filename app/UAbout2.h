#pragma once

#include <QDialog>

class ClickableLabel;
class FlatButton;
class QLabel;

// The About box: program name, product line, software code, version, document
// code, the maker's logo and a link to the maker's web address.
class TFAbout2 : public QDialog {
  public:
    explicit TFAbout2(QWidget* parent = nullptr);

    ClickableLabel* Image2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label8;
    QLabel* Label6;
    QLabel* Label9;
    QLabel* Label7;
    QLabel* Label10;
    FlatButton* LbButton1;
    ClickableLabel* Label4;

    void Label4Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
};
