// The layout table made from the stored form at build time: the same controls, parents,
// places, sizes and captions as the window that Qt builds from the form.
#include "MainFormTable.h"
#include "framework/qt/Ansi.h"
#include "ui_MainForm.h"

#include <QAbstractButton>
#include <QtTest>
#include <set>

// The class the form stores for a kind of control the table names.
QString storedClass(const QString &kind)
{
    static const QMap<QString, QString> stored{
        {"Button", "QPushButton"}, {"CheckBox", "QCheckBox"}, {"Label", "QLabel"},
        {"Edit", "QLineEdit"},     {"SpinBox", "QSpinBox"},   {"TabControl", "QTabWidget"},
        {"Page", "QWidget"},       {"Panel", "QFrame"},       {"ReceiveBox", "ReceiveView"}};
    return stored.value(kind, kind);
}

class LayoutTableTest : public QObject
{
    Q_OBJECT

private slots:
    void everyControlAtItsPlaceWithItsCaption();
};

void LayoutTableTest::everyControlAtItsPlaceWithItsCaption()
{
    QWidget form;
    Ui::MainForm ui;
    ui.setupUi(&form);
    std::set<QString> named;
    std::set<QString> containers; // the others' children are their own parts
    for (const LayoutRow &row : kMainFormLayout) {
        const QString name = row.name;
        named.insert(name);
        const QString kind = row.kind;
        if (kind == "Page" || kind == "GroupBox" || kind == "Panel")
            containers.insert(name);
        QWidget *widget = name == form.objectName() ? &form : form.findChild<QWidget *>(name);
        QVERIFY2(widget != nullptr, row.name);
        QVERIFY2(QString(widget->metaObject()->className()).remove("qt::") == storedClass(kind),
                 row.name);
        const QString caption = fromAnsi(row.caption);
        if (auto *tabs = qobject_cast<QTabWidget *>(
                widget->parentWidget() ? widget->parentWidget()->parentWidget() : nullptr)) {
            // A tab page: its parent is the tab control, its caption the tab's.
            QCOMPARE(tabs->objectName(), QString(row.parent));
            QCOMPARE(tabs->tabText(tabs->indexOf(widget)), caption);
            continue;
        }
        if (widget != &form)
            QCOMPARE(widget->parentWidget()->objectName(), QString(row.parent));
        if (row.width > 0)
            QCOMPARE(widget->geometry(), QRect(row.x, row.y, row.width, row.height));
        if (auto *label = qobject_cast<QLabel *>(widget))
            QCOMPARE(label->text(), caption);
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            QCOMPARE(button->text(), caption);
        else if (auto *group = qobject_cast<QGroupBox *>(widget))
            QCOMPARE(group->title(), caption);
        else if (auto *bar = qobject_cast<qt::ScrollBar *>(widget))
            QCOMPARE(QPair(bar->minimum(), bar->maximum()), QPair(row.minimum, row.maximum));
    }
    for (QWidget *widget : form.findChildren<QWidget *>()) {
        QWidget *parent = widget->parentWidget();
        if (parent && containers.count(parent->objectName()) == 1)
            QVERIFY2(named.count(widget->objectName()) == 1, qPrintable(widget->objectName()));
    }
}

QTEST_MAIN(LayoutTableTest)
#include "LayoutTable_test.moc"
