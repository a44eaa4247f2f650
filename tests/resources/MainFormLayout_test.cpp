// The stored window layout: every control of the three tabs with its kind, place, texts,
// ranges, fonts and keyboard order, as the window is built from it.
#include "ui_MainForm.h"

#include <QTabBar>
#include <QtTest>

namespace {

// A label stored without a size: as wide and as high as its text.
QRect sizeToText(int left, int top)
{
    return QRect(QPoint(left, top), QSize(0, 0));
}

QWidget *control(QWidget *form, const QString &name)
{
    return form->findChild<QWidget *>(name);
}

QString contentOf(QWidget *widget)
{
    if (auto *picture = qobject_cast<qt::Picture *>(widget))
        return picture->source();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *group = qobject_cast<qt::RadioGroup *>(widget))
        return group->title() + ": " + group->items().join('|');
    if (auto *group = qobject_cast<QGroupBox *>(widget))
        return group->title();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items.append(combo->itemText(i));
        return items.join('|');
    }
    if (auto *memo = qobject_cast<QPlainTextEdit *>(widget))
        return memo->toPlainText();
    if (auto *view = qobject_cast<ReceiveView *>(widget))
        return view->toPlainText();
    return {};
}

// The table's "Other" column as the widget has it.
QString detailsOf(QWidget *widget)
{
    if (auto *bar = qobject_cast<qt::ScrollBar *>(widget)) {
        return QString("%1..%2 at %3 step %4/%5")
            .arg(bar->minimum())
            .arg(bar->maximum())
            .arg(bar->position())
            .arg(bar->singleStep())
            .arg(bar->pageStep());
    }
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->isReadOnly() ? "read-only" : "";
    if (auto *memo = qobject_cast<QPlainTextEdit *>(widget))
        return memo->isReadOnly() ? "read-only" : "";
    if (auto *view = qobject_cast<ReceiveView *>(widget))
        return view->isReadOnly() ? "read-only" : "";
    if (auto *combo = qobject_cast<qt::ComboBox *>(widget)) {
        return QString(combo->isSorted() ? "sorted" : "") +
               (combo->isEditable() ? "editable" : "") +
               QString(", %1 rows").arg(combo->maxVisibleItems()) +
               (combo->itemIndex() < 0 ? "" : ", chosen");
    }
    if (auto *group = qobject_cast<qt::RadioGroup *>(widget))
        return group->itemIndex() < 0 ? "none chosen" : "chosen";
    if (auto *picture = qobject_cast<qt::Picture *>(widget))
        return picture->alignment() == Qt::AlignCenter ? "centred" : "";
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->alignment() & Qt::AlignRight ? "right" : "";
    if (auto *frame = qobject_cast<QFrame *>(widget); frame && !qobject_cast<QGroupBox *>(widget)) {
        const bool lowered = frame->frameShape() == QFrame::Panel &&
                             frame->frameShadow() == QFrame::Sunken && frame->lineWidth() == 1;
        return lowered ? "lowered" : "";
    }
    return {};
}

} // namespace

class MainFormTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void window();
    void tabs();
    void controls_data();
    void controls();
    void labelsBesideTheirBoxes();
    void fonts();
    void colours();
    void storedPictures();
    void focusOrder_data();
    void focusOrder();

private:
    QWidget m_form;
    Ui::MainForm m_ui;
};

void MainFormTest::initTestCase()
{
    m_ui.setupUi(&m_form);
    m_form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_form));
}

void MainFormTest::window()
{
    QCOMPARE(m_form.objectName(), QString("MainForm"));
    QCOMPARE(m_form.windowTitle(),
             QString("ZEPHRA 2.4 GHz (RS232 <---> Wireless Converter) Version 1.0.0.a"));
    QCOMPARE(m_form.size(), QSize(617, 505));
    QCOMPARE(m_form.minimumSize(), QSize(617, 505));
    QCOMPARE(m_form.maximumSize(), QSize(617, 505));
    QVERIFY(m_form.windowIcon().availableSizes().contains(QSize(32, 32)));
}

void MainFormTest::tabs()
{
    QTabWidget *tabs = m_ui.PageControl1;
    QCOMPARE(tabs->geometry(), QRect(0, 0, 617, 505));
    QCOMPARE(tabs->count(), 4);
    const QStringList captions{"SETUP CONFIG MODE", "TEST RUN MODE", "HELP MODE", "LINK TEST MODE"};
    const QList<QWidget *> sheets{m_ui.TabSheet1, m_ui.TabSheet2, m_ui.TabSheet3, m_ui.TabSheet4};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(tabs->tabText(i), captions[i]);
        QCOMPARE(tabs->widget(i), sheets[i]);
    }
    QCOMPARE(tabs->currentIndex(), 0);
    // The sheet's client area holds the widest control (609) and the lowest one (465); the
    // send box reaches 8 pixels further and is clipped at the sheet's edge.
    for (int i = 0; i < 3; ++i) {
        tabs->setCurrentIndex(i);
        QVERIFY(sheets[i]->width() >= 609);
        QVERIFY(sheets[i]->height() >= 465);
        QVERIFY(sheets[i]->mapTo(&m_form, QPoint(0, 0)).y() >= tabs->tabBar()->height());
    }
    QVERIFY(m_ui.MemoSendRun->geometry().right() >= m_ui.TabSheet2->width());
    tabs->setCurrentIndex(0);
}

void MainFormTest::controls_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("details");

    auto row = [](const char *name, const char *kind, const char *parent, QRect place,
                  const QString &content, const char *details = "") {
        QTest::newRow(name) << QString(kind) << QString(parent) << place << content
                            << QString(details);
    };
    // Setup tab
    row("SelectBaudrateSetup", "RadioGroup", "TabSheet1", {0, 0, 249, 153},
        "User RS232 Baudrate: 1200 BPS|2400 BPS|4800 BPS|9600 BPS|19200 BPS", "none chosen");
    row("SelectRFRate", "RadioGroup", "TabSheet1", {0, 160, 249, 65},
        "RF Data Rate: 250 Kbps Data rate|1 Mbps Data Rate", "none chosen");
    row("SelectRFMode", "RadioGroup", "TabSheet1", {0, 232, 249, 81},
        "RF Operation Mode: RF Receive Only|RF Transmitt Only|RF Auto Direction", "none chosen");
    row("SelectRFGain", "RadioGroup", "TabSheet1", {0, 320, 249, 105},
        "RF Power Gain: -20 dBm (Min)|-10 dBm|-5 dBm|+0 dBm (Max)", "none chosen");
    row("SaveConfig", "QPushButton", "TabSheet1", {96, 440, 153, 25}, "SAVE CONFIG");
    row("GroupBox3", "GroupBox", "TabSheet1", {264, 0, 345, 153}, "Setup Communication Port");
    row("Label1", "QLabel", "GroupBox3", sizeToText(16, 32), "Com Port Select");
    row("Label2", "QLabel", "GroupBox3", sizeToText(16, 64), "Status");
    row("Label14", "QLabel", "GroupBox3", sizeToText(16, 96), "BIOS Code");
    row("ComboPortSetup", "ComboBox", "GroupBox3", {208, 24, 121, 26}, "", "sorted, 8 rows");
    row("OpenPortSetup", "QPushButton", "GroupBox3", {16, 120, 129, 25}, "Open");
    row("ClosePortSetup", "QPushButton", "GroupBox3", {200, 120, 129, 25}, "Close");
    row("StatusConnect", "QLineEdit", "GroupBox3", {136, 56, 193, 26}, "", "read-only");
    row("BiosDisplay", "QLineEdit", "GroupBox3", {136, 88, 193, 26}, "", "read-only");
    row("Select_RX1_IDCode", "GroupBox", "TabSheet1", {264, 160, 345, 81}, "Select RXD ID Code");
    row("Label3", "QLabel", "Select_RX1_IDCode", sizeToText(16, 56), "RF Receiver ID Code");
    row("RF1IDCodeDisplay", "QLineEdit", "Select_RX1_IDCode", {272, 48, 57, 26}, " ", "read-only");
    row("RF_RX1_IDCode", "ScrollBar", "Select_RX1_IDCode", {16, 24, 313, 17}, "",
        "0..255 at 0 step 1/1");
    row("Select_TXD_IDCode", "GroupBox", "TabSheet1", {264, 248, 345, 89}, "Select TXD ID Code");
    row("Label4", "QLabel", "Select_TXD_IDCode", sizeToText(16, 59), "RF Transmitter ID Code");
    row("TXDIDCodeDisplay", "QLineEdit", "Select_TXD_IDCode", {272, 51, 57, 26}, "", "read-only");
    row("RF_TXD_IDCode", "ScrollBar", "Select_TXD_IDCode", {16, 24, 313, 17}, "",
        "0..255 at 0 step 1/1");
    row("Select_RF_Channel", "GroupBox", "TabSheet1", {264, 344, 345, 81},
        "Select RF Frequency Channel");
    row("Label5", "QLabel", "Select_RF_Channel", sizeToText(16, 56), "RF Frequency Channel");
    row("RFChannel", "ScrollBar", "Select_RF_Channel", {16, 24, 313, 17}, "",
        "0..124 at 0 step 1/1");
    row("RFChannelDisplay", "QLineEdit", "Select_RF_Channel", {272, 48, 57, 26}, " ", "read-only");
    row("ReadConfig", "QPushButton", "TabSheet1", {352, 440, 153, 25}, "READ CONFIG");
    // Test tab
    row("GroupBox1", "GroupBox", "TabSheet2", {8, 0, 345, 121}, "Setup Communication Port");
    row("Label6", "QLabel", "GroupBox1", sizeToText(16, 32), "Com Port Select");
    row("Label7", "QLabel", "GroupBox1", sizeToText(16, 64), "Baudrate Select");
    row("ComboPortRun", "ComboBox", "GroupBox1", {208, 24, 121, 26}, "", "sorted, 8 rows");
    row("OpenPortRun", "QPushButton", "GroupBox1", {16, 88, 129, 25}, "Open");
    row("ClosePortRun", "QPushButton", "GroupBox1", {200, 88, 129, 25}, "Close");
    row("ComboBaudRun", "ComboBox", "GroupBox1", {208, 56, 121, 26}, "1200|2400|4800|9600|19200",
        "editable, 8 rows, chosen");
    row("MemoReceiveRun", "ReceiveView", "TabSheet2", {0, 128, 609, 121}, "", "read-only");
    row("ClearReceiveRun", "QPushButton", "TabSheet2", {216, 256, 177, 25}, "CLEAR RECEIVE");
    row("MemoSendRun", "Memo", "TabSheet2", {8, 304, 609, 129}, "");
    row("EditSendRun", "QLineEdit", "TabSheet2", {368, 24, 233, 26}, "Test Send String");
    row("SendStringRun", "QPushButton", "TabSheet2", {408, 80, 145, 33}, "SEND TEXT");
    row("ClearSendRun", "QPushButton", "TabSheet2", {224, 440, 185, 25}, "CLEAR SEND");
    // Help tab
    row("Panel1", "QFrame", "TabSheet3", {0, 0, 609, 169}, "", "lowered");
    row("ProgramIcon", "Picture", "Panel1", {9, 17, 121, 80}, ":/pictures/logo.bmp", "centred");
    row("Label17", "QLabel", "Panel1", {179, 10, 401, 16},
        "ZEPHRA-24 V1.0 (Update 16-September-2004)", "right");
    row("Label18", "QLabel", "Panel1", {173, 54, 391, 16},
        "RS232 to Wireless(RF 2.4 GHz) Converter", "right");
    row("Label19", "QLabel", "Panel1", {225, 94, 291, 16}, "(C) 2026 ZEPHRA-24 developers",
        "right");
    row("Label8", "QLabel", "Panel1", {267, 134, 201, 16}, "zephra24.example.org", "right");
    row("Panel2", "QFrame", "TabSheet3", {0, 184, 609, 273}, "", "lowered");
    row("Image1", "Picture", "Panel2", {8, 8, 290, 256}, ":/pictures/setup-mode.jpg", "centred");
    row("Image2", "Picture", "Panel2", {312, 9, 290, 256}, ":/pictures/run-mode.jpg", "centred");
}

void MainFormTest::controls()
{
    QFETCH(QString, kind);
    QFETCH(QString, parent);
    QFETCH(QRect, place);
    QFETCH(QString, content);
    QFETCH(QString, details);

    QWidget *widget = control(&m_form, QTest::currentDataTag());
    QVERIFY(widget);
    QCOMPARE(QString(widget->metaObject()->className()).remove(QStringLiteral("qt::")), kind);
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    QCOMPARE(contentOf(widget), content);
    QCOMPARE(detailsOf(widget), details);
    // Nothing is disabled in the stored layout; the window's creation sets the start states.
    QVERIFY(widget->isEnabled());
    if (place.isEmpty()) {
        // Sized to its text: as wide and as high as the text, no more.
        const QRect stored = widget->geometry();
        const QFontMetrics metrics = widget->fontMetrics();
        QCOMPARE(stored.topLeft(), place.topLeft());
        QVERIFY(qAbs(stored.width() - metrics.horizontalAdvance(content)) <= 1);
        QCOMPARE(stored.height(), metrics.height());
    } else {
        QCOMPARE(widget->geometry(), place);
    }
    // Every text fits its place.
    if (auto *label = qobject_cast<QLabel *>(widget); label && !qobject_cast<qt::Picture *>(widget))
        QVERIFY(label->fontMetrics().horizontalAdvance(content) <= label->width());
}

void MainFormTest::labelsBesideTheirBoxes()
{
    const QList<std::pair<QLabel *, QWidget *>> buddies{
        {m_ui.Label1, m_ui.ComboPortSetup},   {m_ui.Label2, m_ui.StatusConnect},
        {m_ui.Label14, m_ui.BiosDisplay},     {m_ui.Label3, m_ui.RF1IDCodeDisplay},
        {m_ui.Label4, m_ui.TXDIDCodeDisplay}, {m_ui.Label5, m_ui.RFChannelDisplay},
        {m_ui.Label6, m_ui.ComboPortRun},     {m_ui.Label7, m_ui.ComboBaudRun}};
    for (const auto &[label, box] : buddies) {
        QCOMPARE(label->buddy(), box);
        QCOMPARE(box->accessibleName(), label->text());
    }
    QCOMPARE(m_ui.RF_RX1_IDCode->accessibleName(), m_ui.Label3->text());
    QCOMPARE(m_ui.RF_TXD_IDCode->accessibleName(), m_ui.Label4->text());
    QCOMPARE(m_ui.RFChannel->accessibleName(), m_ui.Label5->text());
}

void MainFormTest::fonts()
{
    const QList<QWidget *> helpLabels{m_ui.Label17, m_ui.Label18, m_ui.Label19, m_ui.Label8};
    QList<QWidget *> widgets = m_form.findChildren<QWidget *>();
    widgets.append(&m_form);
    for (QWidget *widget : widgets) {
        widget->ensurePolished();
        const QFont font = widget->font();
        const QByteArray name =
            widget->objectName().toLatin1() + " (" + widget->metaObject()->className() + ")";
        QCOMPARE(font.pixelSize(), 16);
        if (helpLabels.contains(widget)) {
            QVERIFY2(font.family() == "Courier" && font.bold(), name);
        } else if (widget == m_ui.EditSendRun) {
            QVERIFY2(font.family() == "Courier New" && !font.bold(), name);
        } else {
            QVERIFY2(font.family() == "Courier New" && font.bold(), name);
        }
    }
    QVERIFY(m_ui.PageControl1->tabBar()->font().bold());
}

void MainFormTest::colours()
{
    for (QLabel *label : {m_ui.Label17, m_ui.Label18, m_ui.Label19, m_ui.Label8})
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(m_ui.StatusConnect->palette().color(QPalette::Active, QPalette::Text),
             QColor(Qt::black));
}

void MainFormTest::storedPictures()
{
    const QImage logo = m_ui.ProgramIcon->image();
    QCOMPARE(logo.size(), QSize(121, 80));
    QCOMPARE(logo.format(), QImage::Format_Indexed8);
    QCOMPARE(logo.colorCount(), 256);
    for (qt::Picture *picture : {m_ui.Image1, m_ui.Image2}) {
        // Decoded by libjpeg: 24-bit RGB, not what Qt's own JPEG reader makes.
        QCOMPARE(picture->image().size(), QSize(290, 256));
        QCOMPARE(picture->image().format(), QImage::Format_RGB888);
        QVERIFY(!picture->pixmap().isNull());
    }
}

void MainFormTest::focusOrder_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("setup tab") << 0
                               << QStringList{
                                      "SelectBaudrateSetup", "SelectRFRate",     "SelectRFMode",
                                      "SelectRFGain",        "SaveConfig",       "ComboPortSetup",
                                      "OpenPortSetup",       "ClosePortSetup",   "StatusConnect",
                                      "BiosDisplay",         "RF1IDCodeDisplay", "RF_RX1_IDCode",
                                      "TXDIDCodeDisplay",    "RF_TXD_IDCode",    "RFChannel",
                                      "RFChannelDisplay",    "ReadConfig"};
    QTest::newRow("test tab") << 1
                              << QStringList{"ComboPortRun", "OpenPortRun",    "ClosePortRun",
                                             "ComboBaudRun", "MemoReceiveRun", "ClearReceiveRun",
                                             "MemoSendRun",  "EditSendRun",    "SendStringRun",
                                             "ClearSendRun"};
    QTest::newRow("link test tab")
        << 3
        << QStringList{"ComboPortLink",    "ComboBaudLink", "PacketSizeLink", "PacketCountLink",
                       "UntilStoppedLink", "StartLink",     "StopLink",       "SaveReportLink"};
}

void MainFormTest::focusOrder()
{
    QFETCH(int, tab);
    QFETCH(QStringList, order);

    m_ui.PageControl1->setCurrentIndex(tab);
    m_form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m_form));
    QWidget *first = control(&m_form, order.first());
    first->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < order.size(); ++i) {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        // A radio group is one stop, entered at its item.
        if (qobject_cast<qt::RadioGroup *>(focus->parentWidget()))
            focus = focus->parentWidget();
        visited.append(focus->objectName());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(visited, order);
    m_ui.PageControl1->setCurrentIndex(0);
}

QTEST_MAIN(MainFormTest)
#include "MainFormLayout_test.moc"
