#include "tmain.h"

#include "application.h"
#include "context_menu.h"
#include "data_source.h"
#include "db_memo.h"
#include "dream_lookup.h"
#include "dream_query.h"
#include "error_box.h"
#include "fonts.h"
#include "image_list.h"
#include "instance_guard.h"
#include "link_label.h"
#include "maker_links.h"
#include "page_control.h"
#include "popup_menu.h"
#include "skin_engine.h"
#include "skin_store.h"
#include "svg_icon.h"
#include "window_placement.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <limits>

using namespace somnara;

namespace {

template<typename T>
T *named(T *object, const char *name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

QFrame *raisedPanel(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *panel = named(new QFrame(parent), name);
    panel->setGeometry(geometry);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

bool isReturn(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

TMain::TMain(QWidget *parent)
    : QWidget(parent), ImageList1(std::make_unique<ImageList>(QSize(16, 16))),
      ADOQuery1(std::make_unique<DreamQuery>()),
      DataSource1(std::make_unique<DataSource>())
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Somnara大全 2.0"));
    setFont(windowFont());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(393, 323);
    centreOnFirstShow(this);

    ImageList1->add(svgIcon(QStringLiteral(":/images/globe.svg")));
    ImageList1->add(svgIcon(QStringLiteral(":/images/burst.svg")));
    ImageList1->add(svgIcon(QStringLiteral(":/images/bulb.svg")));

    createControls();
    createPopupMenu();

    ADOQuery1->setSql(std::string(kStartStatement));
    DataSource1->setDataSet(ADOQuery1.get());
    DBMemo1->setDataSource(DataSource1.get());

    // The skin engine's settings are its defaults; it reads its start skin, a copy of the
    // store's default one, before the creation handler runs.
    SD = new SkinData(this);
    ss = std::make_unique<SkinStore>(SkinStore::builtIn());
    SD->readStartData(builtInStartSkin());

    // The window is complete: its creation handler runs last.
    guarded([this] { FormCreate(); });
}

TMain::~TMain()
{
    // The memo goes with the widgets; unhook it before the data source is destroyed.
    DBMemo1->setDataSource(nullptr);
}

void TMain::createControls()
{
    // Positions and sizes are pixels at 96 dpi; Qt scales them with the screen.
    PageControl1 = named(new PageControl(this), "PageControl1");
    PageControl1->setGeometry(0, 0, 393, 297);
    // The page sits inside a 4-pixel border, below a 25-pixel row of tabs.
    PageControl1->setPageMargins(QMargins(4, 25, 4, 4));
    PageControl1->setIconSize(ImageList1->size());
    TabSheet1 = named(new QWidget, "TabSheet1");
    PageControl1->addTab(TabSheet1, ImageList1->image(0), QStringLiteral("电脑解梦"));

    GroupBox1 = named(new QGroupBox(TabSheet1), "GroupBox1");
    GroupBox1->setGeometry(0, 0, 385, 45);

    Label1 = named(new QLabel(QStringLiteral("请输入关键词："), GroupBox1), "Label1");
    Label1->setFont(bodyFont());
    Label1->move(8, 20);
    Label1->adjustSize();

    Edit1 = named(new QLineEdit(QStringLiteral("父母"), GroupBox1), "Edit1");
    Edit1->setFont(bodyFont());
    Edit1->setGeometry(91, 15, 214, 20);
    Edit1->setMaxLength(std::numeric_limits<int>::max());
    Edit1->installEventFilter(this);
    Label1->setBuddy(Edit1); // names the box for screen readers

    Button1 = named(new QPushButton(QStringLiteral("开始解梦"), GroupBox1), "Button1");
    Button1->setFont(bodyFont());
    Button1->setGeometry(312, 13, 65, 24);
    Button1->setAutoDefault(false);
    Button1->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });

    Panel1 = raisedPanel(TabSheet1, "Panel1", QRect(0, 45, 385, 223));

    Label3 = named(new QLabel(QStringLiteral("梦的解释："), Panel1), "Label3");
    Label3->setFont(bodyFont());
    Label3->move(5, 6);
    Label3->adjustSize();

    DBMemo1 = named(new DBMemo(Panel1), "DBMemo1");
    DBMemo1->setFont(bodyFont());
    DBMemo1->setGeometry(1, 23, 383, 199);
    DBMemo1->setDataField(QStringLiteral("内容"));
    DBMemo1->setToolTip(QStringLiteral("解释"));
    DBMemo1->setAccessibleDescription(QStringLiteral("解释"));
    Label3->setBuddy(DBMemo1);

    CheckBox1 = named(new QCheckBox(QStringLiteral("模糊查询"), Panel1), "CheckBox1");
    CheckBox1->setFont(bodyFont());
    CheckBox1->setGeometry(70, 3, 69, 17);

    Panel2 = raisedPanel(this, "Panel2", QRect(0, 297, 393, 26));

    Label2 = named(new LinkLabel(Panel2), "Label2");
    Label2->setText(QStringLiteral("Quorvel软件 | 获取更新版本"));
    Label4 = named(new LinkLabel(Panel2), "Label4");
    Label4->setText(QStringLiteral("程序定制 | 咨询 QQ：")
                    + QString::fromLatin1(MakerLinks::kContactQQNumber));
    for (LinkLabel *link : {Label2, Label4}) {
        link->setFont(linkFont());
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
        link->setPalette(palette);
        link->adjustSize();
    }
    Label2->move(8, 7);
    Label4->move(212, 7);
    connect(Label2, &LinkLabel::clicked, this, [this] { guarded([this] { Label2Click(); }); });
    connect(Label4, &LinkLabel::clicked, this, [this] { guarded([this] { Label4Click(); }); });

    setTabOrder(PageControl1, Edit1);
    setTabOrder(Edit1, Button1);
    setTabOrder(Button1, DBMemo1);
    setTabOrder(DBMemo1, CheckBox1);
}

void TMain::createPopupMenu()
{
    PopupMenu1 = named(new QMenu(this), "PopupMenu1");

    N4 = named(new QMenu(QStringLiteral("更换皮肤 "), PopupMenu1), "N4");
    N21 = named(N4->addAction(QStringLiteral("默认")), "N21");
    N6 = named(N4->addSeparator(), "N6");
    N11 = named(N4->addAction(QStringLiteral("飘零")), "N11");
    N7 = named(N4->addSeparator(), "N7");
    N31 = named(N4->addAction(QStringLiteral("燃尽天")), "N31");
    N8 = named(N4->addSeparator(), "N8");
    N41 = named(N4->addAction(QStringLiteral("金属灰")), "N41");
    PopupMenu1->addMenu(N4)->setVisible(false);

    N5 = named(PopupMenu1->addSeparator(), "N5");
    N3 = named(PopupMenu1->addAction(QStringLiteral("官方网站")), "N3");
    N2 = named(PopupMenu1->addSeparator(), "N2");
    N1 = named(PopupMenu1->addAction(QStringLiteral("退出程序")), "N1");

    const auto wire = [this](QAction *item, void (TMain::*handler)()) {
        connect(item, &QAction::triggered, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    wire(N1, &TMain::N1Click);
    wire(N3, &TMain::N3Click);
    wire(N11, &TMain::N11Click);
    wire(N21, &TMain::N21Click);
    wire(N31, &TMain::N31Click);
    wire(N41, &TMain::N41Click);

    PopupMenu::prepareOnOpening(PopupMenu1);
    // The controls that name the menu; the others pass a request up to one of them, except the
    // keyword box and the memo, which answer it with their own edit menu.
    const QList<QWidget *> menuOwners{this, PageControl1, Button1};
    for (QWidget *owner : menuOwners)
        ContextMenu::setPopupMenu(owner, PopupMenu1);
    ContextMenu::acceptShiftF10(this);
    ContextMenu::keepMenusOpenOnDoubleClick();
}

bool TMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == Edit1) {
            // Enter types a carriage return, also with Shift; with Ctrl or Alt it types none.
            const bool plainReturn =
                isReturn(key) && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
            if (plainReturn || (!isReturn(key) && !key->text().isEmpty())) {
                QChar typed = plainReturn ? QChar(13) : key->text().front();
                Edit1KeyPress(typed);
            }
        } else if (watched == Button1 && isReturn(key)) {
            // Enter presses the focused button, as the platform's buttons do; with a modifier
            // it does nothing.
            if (!(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
                Button1->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMain::Button1Click()
{
    const bool containment = CheckBox1->isChecked();
    ADOQuery1->close();
    const QString keyword = Edit1->text();
    lookUp(*ADOQuery1, keyword.toStdString(), containment);
}

void TMain::Edit1KeyPress(QChar &key)
{
    if (key == QChar(13))
        Button1->click();
}

void TMain::N1Click()
{
    close();
}

void TMain::N11Click()
{
    SD->LoadFromStore(*ss, 1);
}

void TMain::N21Click()
{
    SD->LoadFromStore(*ss, 2);
}

void TMain::N31Click()
{
    SD->LoadFromStore(*ss, 3);
}

void TMain::N41Click()
{
    SD->LoadFromStore(*ss, 0);
}

void TMain::FormCreate()
{
    if (InstanceGuard::acquire(Application::title()) == InstanceGuard::Result::AlreadyRunning) {
        Application::messageBox(QStringLiteral("软件已在运行中！"), QStringLiteral("提示"));
        Application::terminate();
    }
    ADOQuery1->setConnectionString(std::string(kConnectionString));
    ADOQuery1->open();
}

void TMain::N3Click()
{
    MakerLinks::openSite();
}

void TMain::Label4Click()
{
    MakerLinks::copyContact();
}

void TMain::Label2Click()
{
    MakerLinks::openSite();
}
