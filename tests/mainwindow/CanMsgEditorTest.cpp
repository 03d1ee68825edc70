// The CAN message editor: the rules between its fields as a table of cases
// (shown message, what the user does, what comes back), and the dialog run
// through the prompt seam (OK, Cancel, the comment's commas).

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "mainwindow/CanMsgEditDialog.h"
#include "mainwindow/uiDlgCanMsg.h"
#include "mainwindow/uiDlgCanMsgForm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTranslator>

#include <functional>

namespace {

QUserCanMsg frame(int protocol, bool remote, bool extended, const QString &id, const QString &data)
{
    QUserCanMsg m;
    m.protocol = uint8_t(protocol);
    m.remote = remote ? 1 : 0;
    m.extended = extended ? 1 : 0;
    m.idText = id;
    m.dataText = data;
    m.lenText = QStringLiteral("8");
    m.auxText2 = QStringLiteral("note");
    return m;
}

QString bytes(int count, int first = 0)
{
    QString s;
    for (int i = 0; i < count; ++i)
        s += QString::asprintf("%02X", (first + i) & 0xFF);
    return s;
}

QStringList items(const QComboBox *c)
{
    QStringList l;
    for (int i = 0; i < c->count(); ++i)
        l << c->itemText(i);
    return l;
}

} // namespace

class CanMsgEditorTest : public MainWindowEnv
{
};

TEST_F(CanMsgEditorTest, RulesBetweenTheFields)
{
    using Act = std::function<void(Ui_uiDlgCanMsg *)>;
    const Act none = [](Ui_uiDlgCanMsg *) {};
    struct Case {
        const char *what;
        bool fd;
        QUserCanMsg in;
        Act act;
        // What the editor shows after msgSet and the action.
        bool protocolEnabled, formatEnabled;
        QString lastLen;
        // What comes back.
        int protocol, remote, extended, fdFlags;
        QString id, len, data;
    };
    const QString d8 = bytes(8, 0x11);
    const Case cases[] = {
        {"classic channel shows a CAN FD message as CAN with 8 bytes", false, frame(2, false, false, "00000123 ", bytes(64)),
         none, false, true, "8", 0, 0, 0, 0, "00000123 ", "8", bytes(8)},
        {"64 bytes on a CAN FD channel open with length 64", true, frame(2, false, true, "18FEF100 ", bytes(64)), none,
         true, false, "64", 2, 0, 1, 1, "18FEF100 ", "64", bytes(64)},
        {"10 bytes open with length 8, the data cut", true, frame(1, false, false, "00000100 ", bytes(10)), none, true,
         false, "64", 1, 0, 0, 0, "00000100 ", "8", bytes(8)},
        {"a remote frame gets length 0 and no data", false, frame(0, false, false, "00000100 ", d8),
         [](Ui_uiDlgCanMsg *u) { u->comboBox_format->setCurrentIndex(1); }, false, true, "8", 0, 1, 0, 0, "00000100 ",
         "0", ""},
        {"back to a data frame the length stays 0", false, frame(0, false, false, "00000100 ", d8),
         [](Ui_uiDlgCanMsg *u) {
             u->comboBox_format->setCurrentIndex(1);
             u->comboBox_format->setCurrentIndex(0);
         },
         false, true, "8", 0, 0, 0, 0, "00000100 ", "0", ""},
        {"an empty identifier comes back as 0", false, frame(0, false, false, "00000100 ", d8),
         [](Ui_uiDlgCanMsg *u) { u->lineEdit_id->clear(); }, false, true, "8", 0, 0, 0, 0, "00000000 ", "8", d8},
        {"extended 1FFFFFFF comes back unchanged", false, frame(0, false, true, "1FFFFFFF ", d8), none, false, true,
         "8", 0, 0, 1, 0, "1FFFFFFF ", "8", d8},
        {"the same text as a standard frame is masked to 7FF", false, frame(0, false, true, "1FFFFFFF ", d8),
         [](Ui_uiDlgCanMsg *u) { u->comboBox_type->setCurrentIndex(0); }, false, true, "8", 0, 0, 0, 0, "000007FF ",
         "8", d8},
        {"standard 00000FFF is masked without a message", false, frame(0, false, false, "00000100 ", d8),
         [](Ui_uiDlgCanMsg *u) { u->lineEdit_id->setText("00000FFF"); }, false, true, "8", 0, 0, 0, 0, "000007FF ",
         "8", d8},
        {"a protocol change shows the handed-in message again", true, frame(0, false, false, "00000100 ", d8),
         [](Ui_uiDlgCanMsg *u) {
             u->lineEdit_id->setText("00000222");
             u->lineEdit_note->setText("edited");
             u->comboBox_proco->setCurrentIndex(2);
         },
         true, false, "64", 2, 0, 0, 1, "00000100 ", "8", d8},
        {"shortening cuts the data: back at 8 the last six bytes are 00", false, frame(0, false, false, "00000100 ", d8),
         [](Ui_uiDlgCanMsg *u) {
             u->comboBox_len->setCurrentText("2");
             u->comboBox_len->setCurrentText("8");
         },
         false, true, "8", 0, 0, 0, 0, "00000100 ", "8", "1112000000000000"},
        {"a longer length pads with 00 (CAN FD 12)", true, frame(1, false, false, "00000100 ", "11"),
         [](Ui_uiDlgCanMsg *u) { u->comboBox_len->setCurrentText("12"); }, true, false, "64", 1, 0, 0, 0,
         "00000100 ", "12", "11" + QString(22, '0')},
        {"CAN FD has no remote frames: the format shows a data frame", true, frame(1, true, false, "00000100 ", d8),
         none, true, false, "64", 1, 0, 0, 0, "00000100 ", "8", d8},
        {"a short identifier keeps its value", false, frame(0, false, false, "7FF", d8), none, false, true, "8", 0, 0,
         0, 0, "000007FF ", "8", d8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        uiDlgCanMsg editor;
        Ui_uiDlgCanMsg *u = editor.form();
        editor.msgSet(c.fd, c.in);
        c.act(u);
        EXPECT_EQ(u->comboBox_proco->isEnabled(), c.protocolEnabled);
        EXPECT_EQ(u->comboBox_format->isEnabled(), c.formatEnabled);
        EXPECT_EQ(items(u->comboBox_len).last(), c.lastLen);
        QUserCanMsg out;
        out.status = 77;
        out.rowEnable = 1;
        editor.msgGet(out);
        EXPECT_EQ(out.protocol, c.protocol);
        EXPECT_EQ(out.remote, c.remote);
        EXPECT_EQ(out.extended, c.extended);
        EXPECT_EQ(out.fdFlags, c.fdFlags);
        EXPECT_EQ(out.idText, c.id);
        EXPECT_EQ(out.lenText, c.len);
        EXPECT_EQ(out.dataText, c.data);
        EXPECT_EQ(out.auxText2, "note");
        // Fields the editor does not own stay as they were.
        EXPECT_EQ(out.status, 77);
        EXPECT_EQ(out.rowEnable, 1);
    }
}

TEST_F(CanMsgEditorTest, TheDataShowsBlankSeparatedAndFollowsTheLength)
{
    uiDlgCanMsg editor;
    editor.msgSet(true, frame(1, false, false, "00000100 ", bytes(23)));
    Ui_uiDlgCanMsg *u = editor.form();
    // 23 bytes: the largest valid length below is 20.
    EXPECT_EQ(u->comboBox_len->currentText(), "20");
    EXPECT_EQ(u->textEdit_data->toPlainText(), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13");
    EXPECT_EQ(u->lineEdit_id->text(), "00000100");
    EXPECT_EQ(u->lineEdit_note->text(), "note");
    // The identifier field takes hexadecimal digits only, eight at most.
    u->lineEdit_id->clear();
    QTest::keyClicks(u->lineEdit_id, "12g4567890");
    EXPECT_EQ(u->lineEdit_id->text(), "12456789");
}

TEST_F(CanMsgEditorTest, DialogOkCancelAndTheCommentsCommas)
{
    QUserCanMsg msg = frame(0, false, false, "00000123 ", bytes(8));
    {
        // Cancel: the caller's message is untouched.
        CanMsgEditDialog dlg(QStringLiteral("修改"));
        dlg.setMsg(false, msg);
        prompts.answerExec([](QDialog *d) {
            d->findChild<QLineEdit *>("lineEdit_id")->setText("00000456");
            d->findChild<QPushButton *>("pushButton_cancel")->click();
            return d->result();
        });
        EXPECT_FALSE(dlg.execAccepted());
        EXPECT_EQ(prompts.last().title, "修改");
        EXPECT_EQ(msg.idText, "00000123 ");
    }
    {
        // OK with a comment typed with commas: they become full-width, so
        // that the list file keeps the entry; the field says so in its tip.
        CanMsgEditDialog dlg(QStringLiteral("新增"));
        dlg.setMsg(false, msg);
        prompts.answerExec([](QDialog *d) {
            auto *note = d->findChild<QLineEdit *>("lineEdit_note");
            note->clear();
            QTest::keyClicks(note, "a,b,c");
            d->findChild<QPushButton *>("pushButton_ok")->click();
            return d->result();
        });
        ASSERT_TRUE(dlg.execAccepted());
        auto *note = dlg.findChild<QLineEdit *>("lineEdit_note");
        EXPECT_EQ(note->text(), QString::fromUtf8("a，b，c"));
        EXPECT_TRUE(note->toolTip().contains(QString::fromUtf8("全角逗号"))) << note->toolTip().toStdString();
        ASSERT_TRUE(dlg.getMsg(msg));
        EXPECT_EQ(msg.auxText2, QString::fromUtf8("a，b，c"));
        EXPECT_FALSE(msg.auxText2.contains(','));
    }
    EXPECT_EQ(prompts.unanswered(), 0);
}

// The identifier field at the size the editor opens with, in Chinese and in
// English, on a classic and a CAN FD channel: every identifier shows whole
// (a narrow field scrolled "18AA0001" to "AA0001" and clipped the first
// digit of "00000000").
TEST_F(CanMsgEditorTest, IdentifierShowsWholeAtTheOpeningSize)
{
    for (bool english : {false, true}) {
        SCOPED_TRACE(english ? "English" : "Chinese");
        QTranslator translator;
        if (english) {
            ASSERT_TRUE(translator.load(mwtest::binDir() + "/lanague_en.qm"));
            QCoreApplication::installTranslator(&translator);
        }
        for (bool fd : {false, true}) {
            for (const char *id : {"18AA0001", "00000000", "1FFFFFFF", "0CF00400"}) {
                SCOPED_TRACE(id);
                CanMsgEditDialog dlg(QStringLiteral("修改"));
                dlg.setMsg(fd, frame(fd ? 2 : 0, false, true, QString::fromLatin1(id) + " ", bytes(8)));
                int shown = -1, need = -1, width = -1;
                QString text;
                prompts.answerExec([&](QDialog *d) {
                    d->show();
                    QApplication::processEvents();
                    auto *e = d->findChild<QLineEdit *>("lineEdit_id");
                    text = e->text();
                    // How far the cursor moves from the first to past the last
                    // digit as drawn: the whole text when nothing scrolled away.
                    e->setCursorPosition(0);
                    e->repaint();
                    const int x0 = e->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
                    e->end(false);
                    e->repaint();
                    shown = e->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x() - x0;
                    need = e->fontMetrics().horizontalAdvance(e->text());
                    width = e->width();
                    return 0;
                });
                dlg.execAccepted();
                EXPECT_EQ(text, QString::fromLatin1(id));
                EXPECT_GE(shown, need) << "field " << width << " px";
                // The field's frame and inner margins (2 + 2 px a side) and the cursor.
                EXPECT_GE(width, need + 9);
            }
        }
        QCoreApplication::removeTranslator(&translator);
    }
}
