// The yardstick for start-up: a plain Qt Widgets window of the program's size, with the same
// kinds of standard controls and Chinese captions in the same fonts, but no data, no menu, no
// skin and no style sheet.
#include "fonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    somnara::installFontSubstitutes();

    QWidget window;
    window.setWindowTitle(QStringLiteral("Somnara大全 2.0"));
    window.setFont(somnara::windowFont());
    window.setFixedSize(393, 323);

    auto *pages = new QTabWidget(&window);
    pages->setGeometry(0, 0, 393, 297);
    auto *page = new QWidget;
    pages->addTab(page, QStringLiteral("电脑解梦"));

    auto *group = new QGroupBox(page);
    group->setGeometry(0, 0, 385, 45);
    auto *prompt = new QLabel(QStringLiteral("请输入关键词："), group);
    prompt->setFont(somnara::bodyFont());
    prompt->move(8, 20);
    auto *keyword = new QLineEdit(QStringLiteral("父母"), group);
    keyword->setFont(somnara::bodyFont());
    keyword->setGeometry(91, 15, 214, 20);
    auto *button = new QPushButton(QStringLiteral("开始解梦"), group);
    button->setFont(somnara::bodyFont());
    button->setGeometry(312, 13, 65, 24);

    auto *panel = new QFrame(page);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(0, 45, 385, 223);
    auto *caption = new QLabel(QStringLiteral("梦的解释："), panel);
    caption->setFont(somnara::bodyFont());
    caption->move(5, 6);
    auto *memo = new QPlainTextEdit(panel);
    memo->setFont(somnara::bodyFont());
    memo->setReadOnly(true);
    memo->setGeometry(1, 23, 383, 199);
    auto *fuzzy = new QCheckBox(QStringLiteral("模糊查询"), panel);
    fuzzy->setFont(somnara::bodyFont());
    fuzzy->setGeometry(70, 3, 69, 17);

    auto *footer = new QFrame(&window);
    footer->setFrameStyle(QFrame::Panel | QFrame::Raised);
    footer->setGeometry(0, 297, 393, 26);
    auto *site = new QLabel(QStringLiteral("Quorvel软件 | 获取更新版本"), footer);
    site->setFont(somnara::linkFont());
    site->move(8, 7);
    auto *contact = new QLabel(QStringLiteral("程序定制 | 咨询 QQ：123456789"), footer);
    contact->setFont(somnara::linkFont());
    contact->move(212, 7);

    window.show();
    return QApplication::exec();
}
