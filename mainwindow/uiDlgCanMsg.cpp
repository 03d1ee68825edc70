#include "mainwindow/uiDlgCanMsg.h"

#include "core/QUserBaudFunc.h"
#include "mainwindow/uiDlgCanMsgForm.h"
#include "widgets/Dialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStringList>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

const QChar kWideComma(0xFF0C);

QString noBlanks(QString text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s"));
    text.remove(blanks);
    return text;
}

QStringList lenList(bool fd)
{
    QStringList list;
    getLenList(fd, list);
    return list;
}

template <class T>
T *named(T *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// One row of two label and editor pairs side by side.
QHBoxLayout *pairRow(QLabel *l1, QWidget *e1, QLabel *l2, QWidget *e2, QWidget *after2 = nullptr)
{
    auto *row = new QHBoxLayout;
    auto *left = new QHBoxLayout;
    left->addWidget(l1);
    left->addWidget(e1, 1);
    auto *right = new QHBoxLayout;
    right->addWidget(l2);
    right->addWidget(e2, 1);
    if (after2)
        right->addWidget(after2);
    row->addLayout(left, 1);
    row->addSpacing(12);
    row->addLayout(right, 1);
    return row;
}

} // namespace

void Ui_uiDlgCanMsg::setupUi(QWidget *form)
{
    form->setObjectName(QStringLiteral("uiDlgCanMsg"));
    form->resize(415, 295);
    auto *outer = new QVBoxLayout(form);
    outer->setContentsMargins(9, 6, 9, 9);
    outer->setSpacing(6);

    groupBox_2 = named(new QGroupBox(form), "groupBox_2");
    label_label = named(new QLabel(groupBox_2), "label_label");
    comboBox_proco = named(new QComboBox(groupBox_2), "comboBox_proco");
    label_4 = named(new QLabel(groupBox_2), "label_4");
    comboBox_format = named(new QComboBox(groupBox_2), "comboBox_format");
    label_5 = named(new QLabel(groupBox_2), "label_5");
    comboBox_type = named(new QComboBox(groupBox_2), "comboBox_type");
    label_9 = named(new QLabel(groupBox_2), "label_9");
    lineEdit_id = named(new QLineEdit(groupBox_2), "lineEdit_id");
    label = named(new QLabel(groupBox_2), "label");
    label_10 = named(new QLabel(groupBox_2), "label_10");
    comboBox_len = named(new QComboBox(groupBox_2), "comboBox_len");
    label_note = named(new QLabel(groupBox_2), "label_note");
    lineEdit_note = named(new QLineEdit(groupBox_2), "lineEdit_note");
    auto *rows = new QVBoxLayout(groupBox_2);
    rows->setSpacing(6);
    rows->addLayout(pairRow(label_label, comboBox_proco, label_4, comboBox_format));
    rows->addLayout(pairRow(label_5, comboBox_type, label_9, lineEdit_id, label));
    rows->addLayout(pairRow(label_10, comboBox_len, label_note, lineEdit_note));
    outer->addWidget(groupBox_2);

    groupBox = named(new QGroupBox(form), "groupBox");
    textEdit_data = named(new QTextEdit(groupBox), "textEdit_data");
    textEdit_data->setFont(QFont(QStringLiteral("SimSun"), 9));
    textEdit_data->setAcceptRichText(false);
    auto *dataBox = new QVBoxLayout(groupBox);
    dataBox->addWidget(textEdit_data);
    outer->addWidget(groupBox, 1);

    line = named(new QFrame(form), "line");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    outer->addWidget(line);

    pushButton_ok = named(new QPushButton(form), "pushButton_ok");
    pushButton_cancel = named(new QPushButton(form), "pushButton_cancel");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(pushButton_ok);
    buttons->addWidget(pushButton_cancel);
    outer->addLayout(buttons);

    retranslateUi(form);
}

void Ui_uiDlgCanMsg::retranslateUi(QWidget *form)
{
    form->setWindowTitle(QCoreApplication::translate("uiDlgCanMsg", "Form"));
    groupBox_2->setTitle(QCoreApplication::translate("uiDlgCanMsg", "帧配置"));
    label_label->setText(QCoreApplication::translate("uiDlgCanMsg", "帧协议:"));
    comboBox_proco->clear();
    comboBox_proco->addItems({QCoreApplication::translate("uiDlgCanMsg", "CAN"),
                              QCoreApplication::translate("uiDlgCanMsg", "CANFD"),
                              QCoreApplication::translate("uiDlgCanMsg", "CANFD加速")});
    label_4->setText(QCoreApplication::translate("uiDlgCanMsg", "帧格式:"));
    comboBox_format->clear();
    comboBox_format->addItems(
        {QCoreApplication::translate("uiDlgCanMsg", "数据帧"), QCoreApplication::translate("uiDlgCanMsg", "远程帧")});
    label_5->setText(QCoreApplication::translate("uiDlgCanMsg", "帧类型:"));
    comboBox_type->clear();
    comboBox_type->addItems(
        {QCoreApplication::translate("uiDlgCanMsg", "标准帧"), QCoreApplication::translate("uiDlgCanMsg", "扩展帧")});
    label_9->setText(QCoreApplication::translate("uiDlgCanMsg", "帧  ID:"));
    lineEdit_id->setText(QStringLiteral("00000000"));
    label->setText(QCoreApplication::translate("uiDlgCanMsg", "(16进制)"));
    label_10->setText(QCoreApplication::translate("uiDlgCanMsg", "帧长度:"));
    comboBox_len->clear();
    comboBox_len->addItems(lenList(false));
    label_note->setText(QCoreApplication::translate("uiDlgCanMsg", "帧注释:"));
    lineEdit_note->setText(QStringLiteral("100"));
    lineEdit_note->setToolTip(QCoreApplication::translate(
        "uiDlgCanMsg", "注释中的半角逗号\",\"将替换为全角逗号\"，\"(配置文件以逗号分隔字段)"));
    groupBox->setTitle(QCoreApplication::translate("uiDlgCanMsg", "帧数据(16进制)"));
    textEdit_data->setPlainText(QStringLiteral("11 22 33 44 55 66 77 88"));
    pushButton_ok->setText(QCoreApplication::translate("uiDlgCanMsg", "确定"));
    pushButton_cancel->setText(QCoreApplication::translate("uiDlgCanMsg", "取消"));
}

uiDlgCanMsg::uiDlgCanMsg(QWidget *parent) : QWidget(parent), ui(new Ui_uiDlgCanMsg)
{
    ui->setupUi(this);
    msg = QUserCanMsg();
    uiInit();
}

uiDlgCanMsg::~uiDlgCanMsg() { delete ui; }

void uiDlgCanMsg::uiInit()
{
    signalConnect();
    ui->lineEdit_id->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Fa-f0-9]{8}")), ui->lineEdit_id));
    // Eight of the widest hexadecimal digit, with the field's frame, its
    // inner margins and the cursor: any identifier shows whole (a narrower
    // field scrolls its first digits out of view, "AA0001" for 18AA0001).
    const QFontMetrics fm(ui->lineEdit_id->font());
    int digit = 0;
    for (QChar c : QStringLiteral("0123456789ABCDEFabcdef"))
        digit = qMax(digit, fm.horizontalAdvance(c));
    const int frame = ui->lineEdit_id->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, ui->lineEdit_id);
    const QMargins text = ui->lineEdit_id->textMargins();
    ui->lineEdit_id->setMinimumWidth(8 * digit + 2 * frame + 2 * 2 + text.left() + text.right() + 4);
    connect(ui->lineEdit_note, &QLineEdit::textEdited, this, &uiDlgCanMsg::slotNoteEdited);
}

void uiDlgCanMsg::signalConnect()
{
    // Handlers nest (a protocol change shows the message, which rebuilds
    // the length list): only the outermost one connects again.
    if (quiet > 0 && --quiet > 0)
        return;
    connect(ui->comboBox_proco, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &uiDlgCanMsg::slotComboxProcotolChanged);
    connect(ui->comboBox_format, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &uiDlgCanMsg::slotComboxFormatIndexChanged);
    connect(ui->comboBox_len, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &uiDlgCanMsg::slotComboxLenIndexChanged);
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &uiDlgCanMsg::okExit);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &uiDlgCanMsg::cancelExit);
}

void uiDlgCanMsg::signalDisconnect()
{
    if (quiet++ > 0)
        return;
    disconnect(ui->comboBox_proco, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
               &uiDlgCanMsg::slotComboxProcotolChanged);
    disconnect(ui->comboBox_format, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
               &uiDlgCanMsg::slotComboxFormatIndexChanged);
    disconnect(ui->comboBox_len, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
               &uiDlgCanMsg::slotComboxLenIndexChanged);
    disconnect(ui->pushButton_ok, &QPushButton::clicked, this, &uiDlgCanMsg::okExit);
    disconnect(ui->pushButton_cancel, &QPushButton::clicked, this, &uiDlgCanMsg::cancelExit);
}

void uiDlgCanMsg::msgSet(bool fd, const QUserCanMsg &m)
{
    fdEnabled = fd;
    msg = m;
    uiUpdate();
}

void uiDlgCanMsg::dataFit()
{
    QString text = noBlanks(ui->textEdit_data->toPlainText());
    if (text.isNull())
        text = QStringLiteral("");
    fitDataText(true, ui->comboBox_len->currentText().toInt(), text);
    ui->textEdit_data->setPlainText(text);
}

void uiDlgCanMsg::lenListUpdate()
{
    signalDisconnect();
    const QStringList list = lenList(ui->comboBox_proco->currentIndex() != 0);
    const int remembered = ui->comboBox_len->currentText().toInt();
    ui->comboBox_len->clear();
    ui->comboBox_len->addItems(list);
    if (remembered > list.last().toInt())
        ui->comboBox_len->setCurrentIndex(list.size() - 1);
    else
        ui->comboBox_len->setCurrentIndex(lenToDlc(remembered));
    dataFit();
    signalConnect();
}

void uiDlgCanMsg::uiUpdate()
{
    signalDisconnect();
    if (fdEnabled) {
        ui->comboBox_proco->setEnabled(true);
        if (msg.protocol <= 2)
            ui->comboBox_proco->setCurrentIndex(msg.protocol);
    } else {
        ui->comboBox_proco->setEnabled(false);
        ui->comboBox_proco->setCurrentIndex(0);
    }
    // The protocol shown decides: a CAN FD message shown on a classic
    // channel is a CAN frame there and may be a remote one.
    const int protocol = ui->comboBox_proco->currentIndex();
    if (protocol == 0) {
        ui->comboBox_format->setEnabled(true);
        ui->comboBox_format->setCurrentIndex(msg.remote ? 1 : 0);
    } else {
        ui->comboBox_format->setEnabled(false);
        ui->comboBox_format->setCurrentIndex(0);
    }
    ui->comboBox_type->setCurrentIndex(msg.extended ? 1 : 0);

    // Identifiers are kept as "%08X " texts; a shorter one keeps its value
    // (zeros go in front).
    QString id = noBlanks(msg.idText).toUpper();
    if (id.size() > 8)
        id.truncate(8);
    ui->lineEdit_id->setText(id.rightJustified(8, QLatin1Char('0')));

    const QString data = noBlanks(msg.dataText);
    const int bytes = data.size() / 2;
    const QStringList list = lenList(fdEnabled && protocol != 0);
    const int last = list.last().toInt();
    const int len = bytes > last ? last : getValidLen(protocol != 0, bytes);
    ui->comboBox_len->clear();
    ui->comboBox_len->addItems(list);
    ui->comboBox_len->setCurrentIndex(qMax(0, list.indexOf(QString::number(len))));

    ui->lineEdit_note->setText(msg.auxText2);
    ui->textEdit_data->setPlainText(data);
    lenListUpdate();
    signalConnect();
}

void uiDlgCanMsg::slotComboxFormatIndexChanged(int index)
{
    if (index != 1)
        return;
    signalDisconnect();
    ui->comboBox_len->setCurrentIndex(0);
    signalConnect();
}

void uiDlgCanMsg::slotComboxLenIndexChanged(int)
{
    signalDisconnect();
    dataFit();
    signalConnect();
}

void uiDlgCanMsg::slotComboxProcotolChanged(int index)
{
    if (index < 0 || index > 2)
        return;
    msg.protocol = uint8_t(index);
    uiUpdate();
}

void uiDlgCanMsg::slotNoteEdited(const QString &text)
{
    if (!text.contains(QLatin1Char(',')))
        return;
    const int cursor = ui->lineEdit_note->cursorPosition();
    QString replaced = text;
    replaced.replace(QLatin1Char(','), kWideComma);
    ui->lineEdit_note->setText(replaced);
    ui->lineEdit_note->setCursorPosition(cursor);
}

void uiDlgCanMsg::msgGet(QUserCanMsg &out)
{
    dataFit();
    const int protocol = qBound(0, ui->comboBox_proco->currentIndex(), 2);
    out.fdFlags = 0;
    out.protocol = uint8_t(protocol);
    if (protocol == 2)
        out.fdFlags |= 1;
    out.extended = ui->comboBox_type->currentIndex() == 1 ? 1 : 0;
    out.remote = ui->comboBox_format->currentIndex() == 1 ? 1 : 0;

    bool ok = false;
    const qulonglong value = noBlanks(ui->lineEdit_id->text()).toUpper().toULongLong(&ok, 16);
    const uint32_t mask = out.extended ? 0x1FFFFFFFu : 0x7FFu;
    out.idText = idToText(ok ? uint32_t(value) & mask : 0u);

    out.lenText = ui->comboBox_len->currentText();
    QString note = ui->lineEdit_note->text();
    note.replace(QLatin1Char(','), kWideComma);
    out.auxText2 = note;
    QString data = noBlanks(ui->textEdit_data->toPlainText());
    data.truncate(2 * out.lenText.toInt());
    out.dataText = data.isNull() ? QStringLiteral("") : data;
    if (out.remote) {
        out.lenText = QStringLiteral("0");
        out.dataText = QStringLiteral("");
    }
}

void uiDlgCanMsg::okExit()
{
    if (host)
        host->dlgDone(1);
}

void uiDlgCanMsg::cancelExit()
{
    if (host)
        host->dlgDone(0);
}
