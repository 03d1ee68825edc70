#include "widgets/Dialog.h"
#include "tests/support/QUserPromptScript.h"
#include "widgets/uiDlgAboutUs.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

TEST(AboutBox, FrameHoldsTheAboutContentAndOkEndsTheRunWithOne)
{
    QUserPromptScript prompts;
    prompts.answerExec([](QDialog *dlg) {
        dlg->show();
        uiDlgAboutUs *about = dlg->findChild<uiDlgAboutUs *>();
        if (!about)
            return -1;
        about->form()->pushButton_ok->click();
        return dlg->result();
    });
    Dialog frame;
    frame.aboutDlgCreat(QString(), QString::fromUtf8("软件信息"));
    EXPECT_EQ(frame.windowTitle(), QString::fromUtf8("软件信息"));
    EXPECT_FALSE(frame.form()->lab_Title->isHidden());
    EXPECT_FALSE(frame.form()->btnMenu_Close->isHidden());
    EXPECT_TRUE(frame.form()->btnMenu_Max->isHidden());
    uiDlgAboutUs *about = frame.findChild<uiDlgAboutUs *>();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->parentWidget(), frame.form()->widget_content);
    EXPECT_EQ(frame.width(), 332);
    EXPECT_EQ(frame.dlgExec(), 1);
}

TEST(AboutBox, ContentShowsLogoNameVersionAndLink)
{
    uiDlgAboutUs about;
    EXPECT_EQ(about.size(), QSize(332, 187));
    ASSERT_FALSE(about.form()->label_logo->pixmap(Qt::ReturnByValue).isNull());
    EXPECT_EQ(about.form()->label_logo->pixmap(Qt::ReturnByValue).width(), 52);
    EXPECT_EQ(about.form()->label_logo->maximumSize(), QSize(52, 52));
    const QString name = about.form()->label_softName->text();
    EXPECT_TRUE(name.startsWith("<style> a {text-decoration: none} </style> <a href=\""));
    EXPECT_TRUE(name.contains(uiDlgAboutUs::helpPageUrl()));
    EXPECT_TRUE(name.contains("Orvane V1.1.7"));
    EXPECT_TRUE(name.endsWith(QString::fromUtf8("(点击下载最新版本)")));
    EXPECT_TRUE(about.form()->label_softName->openExternalLinks());
    EXPECT_EQ(about.form()->pushButton_ok->text(), QString::fromUtf8("确定"));
    about.form()->pushButton_ok->click(); // no frame: nothing happens
}

TEST(PromptScript, AnswersInOrderAndRecordsEveryPrompt)
{
    QUserPrompt *before = QUserPrompt::instance();
    {
        QUserPromptScript prompts;
        EXPECT_EQ(QUserPrompt::instance(), &prompts);
        prompts.answerFile("/tmp/a.dbc");
        prompts.answerFile("/tmp/b.asc");
        prompts.answerFiles({"/x/1.blf", "/x/2.blf"});
        prompts.answerDirectory("/x");
        prompts.answerUrl(false);
        QUserPrompt *p = QUserPrompt::instance();
        EXPECT_EQ(p->getOpenFileName(nullptr, QString::fromUtf8("打开"), "/home", "DBC (*.dbc)"),
                  QStringLiteral("/tmp/a.dbc"));
        EXPECT_EQ(p->getSaveFileName(nullptr, QString::fromUtf8("保存"), "/home", "ASC (*.asc)"),
                  QStringLiteral("/tmp/b.asc"));
        EXPECT_EQ(p->getOpenFileNames(nullptr, "many"), (QStringList{"/x/1.blf", "/x/2.blf"}));
        EXPECT_EQ(p->getExistingDirectory(nullptr, "dir"), QStringLiteral("/x"));
        EXPECT_FALSE(p->openUrl(QUrl("https://orvane.example.org/shop")));
        EXPECT_EQ(prompts.unanswered(), 0);
        EXPECT_EQ(prompts.pending(), 0);
        ASSERT_EQ(prompts.records().size(), 5);
        EXPECT_EQ(prompts.records().at(0).title, QString::fromUtf8("打开"));
        EXPECT_EQ(prompts.records().at(0).dir, QStringLiteral("/home"));
        EXPECT_EQ(prompts.records().at(0).text, QStringLiteral("DBC (*.dbc)"));
        EXPECT_EQ(prompts.records().at(4).text, QStringLiteral("https://orvane.example.org/shop"));

        // Unanswered prompts: cancelled choosers, a closed dialog, a page that opens.
        EXPECT_TRUE(p->getOpenFileName(nullptr, "again").isEmpty());
        EXPECT_TRUE(p->openUrl(QUrl("https://x")));
        Dialog d;
        EXPECT_EQ(d.dlgExec(), 0);
        EXPECT_EQ(prompts.unanswered(), 3);

        // An answer of another kind is left queued.
        prompts.answerUrl(true);
        EXPECT_TRUE(p->getSaveFileName(nullptr, "s").isEmpty());
        EXPECT_EQ(prompts.pending(), 1);
    }
    EXPECT_EQ(QUserPrompt::instance(), before) << "the previous answerer is back";
}

TEST(PromptScript, ScriptsNest)
{
    QUserPromptScript outer;
    {
        QUserPromptScript inner;
        inner.answerExec(5);
        Dialog d;
        EXPECT_EQ(d.dlgExec(), 5);
    }
    EXPECT_EQ(QUserPrompt::instance(), &outer);
    outer.answerExec(2);
    Dialog d;
    EXPECT_EQ(d.dlgExec(), 2);
}
