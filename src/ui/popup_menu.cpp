#include "popup_menu.h"

#include <QAction>
#include <QLocale>
#include <QMenu>

namespace somnara::PopupMenu {

namespace {

const QString kAcceleratorPool = QStringLiteral("1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ");

// Marks a separator that the rule hid, as opposed to one the program hid: only the former may
// be shown again by the rule.
constexpr char kHiddenByRule[] = "somnara_hiddenStraySeparator";

// The character after a single "&", upper-cased; a null character when there is none.
QChar accelerator(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&'))
            continue;
        if (caption.at(i + 1) != QLatin1Char('&'))
            return caption.at(i + 1).toUpper();
        ++i; // "&&" is a literal ampersand
    }
    return {};
}

bool holdsPoolCharacter(const QString &caption)
{
    for (const QChar c : caption) {
        if (kAcceleratorPool.contains(c.toUpper()))
            return true;
    }
    return false;
}

bool hiddenByRule(const QAction *action)
{
    return action->property(kHiddenByRule).toBool();
}

// Visible as the program wants it, before the rule has its say.
bool wantedVisible(const QAction *action)
{
    return action->isVisible() || (action->isSeparator() && hiddenByRule(action));
}

void showSeparator(QAction *separator, bool show)
{
    if (show) {
        separator->setProperty(kHiddenByRule, QVariant());
        separator->setVisible(true);
    } else if (separator->isVisible()) {
        separator->setVisible(false);
        separator->setProperty(kHiddenByRule, true);
    }
}

} // namespace

bool usesAutomaticAccelerators(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::Chinese:
    case QLocale::Japanese:
    case QLocale::Korean:
        return true;
    default:
        return false;
    }
}

void addAutomaticAccelerators(QMenu *menu)
{
    QList<QAction *> items;
    for (QAction *action : menu->actions()) {
        if (action->isVisible() && !action->isSeparator())
            items.append(action);
    }

    QString used;
    for (const QAction *item : items) {
        const QChar key = accelerator(item->text());
        if (!key.isNull())
            used.append(key);
    }

    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        QAction *item = *it;
        const QString caption = item->text();
        if (!accelerator(caption).isNull() || holdsPoolCharacter(caption))
            continue;
        QChar key;
        for (qsizetype i = kAcceleratorPool.size() - 1; i >= 0 && key.isNull(); --i) {
            if (!used.contains(kAcceleratorPool.at(i)))
                key = kAcceleratorPool.at(i);
        }
        if (key.isNull())
            return; // every character is taken
        used.append(key);
        item->setText(caption + QStringLiteral("(&") + key + QLatin1Char(')'));
    }
}

void hideStraySeparators(QMenu *menu)
{
    const QList<QAction *> actions = menu->actions();
    QList<QAction *> wanted;
    for (QAction *action : actions) {
        if (wantedVisible(action))
            wanted.append(action);
    }

    bool itemBefore = false;
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        QAction *action = wanted.at(i);
        if (!action->isSeparator()) {
            itemBefore = true;
            continue;
        }
        const bool itemAfter = i + 1 < wanted.size() && !wanted.at(i + 1)->isSeparator();
        showSeparator(action, itemBefore && itemAfter);
    }
}

void prepareOnOpening(QMenu *menu)
{
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
        if (usesAutomaticAccelerators(menu->locale()))
            addAutomaticAccelerators(menu);
        hideStraySeparators(menu);
    });
}

} // namespace somnara::PopupMenu
