#pragma once

#include <QWidget>

#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace somnara {
class DataSource;
class DBMemo;
class DreamQuery;
class ImageList;
class LinkLabel;
class PageControl;
class SkinData;
class SkinStore;
} // namespace somnara

// The main window. Its components and handlers keep the names the design gives them, so the
// window reads like its description; the logic lives in the components it wires.
class TMain : public QWidget
{
    Q_OBJECT

public:
    explicit TMain(QWidget *parent = nullptr);
    ~TMain() override;

    somnara::PageControl *PageControl1;
    QWidget *TabSheet1;
    QGroupBox *GroupBox1;
    QLabel *Label1;
    QLineEdit *Edit1;
    QPushButton *Button1;
    QFrame *Panel1;
    somnara::DBMemo *DBMemo1;
    std::unique_ptr<somnara::ImageList> ImageList1;
    std::unique_ptr<somnara::DreamQuery> ADOQuery1;
    std::unique_ptr<somnara::DataSource> DataSource1;
    QMenu *PopupMenu1;
    QAction *N1;
    somnara::SkinData *SD;
    std::unique_ptr<somnara::SkinStore> ss;
    QMenu *N4;
    QAction *N5;
    QAction *N11;
    QAction *N21;
    QAction *N31;
    QAction *N41;
    QAction *N6;
    QAction *N7;
    QAction *N8;
    QLabel *Label3;
    QCheckBox *CheckBox1;
    QAction *N2;
    QAction *N3;
    QFrame *Panel2;
    somnara::LinkLabel *Label2;
    somnara::LinkLabel *Label4;

    void Button1Click();
    // Enter in the keyword box clicks the lookup button; `key` is the typed character.
    void Edit1KeyPress(QChar &key);
    void N1Click();
    void N11Click();
    void N21Click();
    void N31Click();
    void N41Click();
    void FormCreate();
    void N3Click();
    void Label4Click();
    void Label2Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createPopupMenu();
};
