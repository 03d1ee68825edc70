#pragma once
// Small helpers for the offscreen dialog tests: find named children, make a
// user choice in a combo box, and look at the prompts the code raised.

#include "tests/support/QUserPromptScript.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QStringList>
#include <QWidget>

template <class T> T *kid(const QObject *root, const char *name)
{
    T *w = root ? root->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    EXPECT_NE(w, nullptr) << "no child " << name;
    return w;
}

// What a user's pick in the list does: select and emit activated.
inline void choose(QComboBox *c, int index)
{
    c->setCurrentIndex(index);
    emit c->activated(index);
}

inline void chooseText(QComboBox *c, const QString &text)
{
    const int i = c->findText(text);
    ASSERT_GE(i, 0) << text.toStdString();
    choose(c, i);
}

inline QStringList items(const QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

// Texts of the message boxes raised so far (modal runs other than the
// dialogs of the given class names).
inline QStringList boxTexts(const QUserPromptScript &s)
{
    QStringList out;
    for (const auto &r : s.records())
        if (r.kind == QUserPromptScript::Exec && r.text.size() && r.title.size())
            out << r.title + "|" + r.text;
    return out;
}

// True when a box with this title whose label texts contain text was raised.
inline bool hasBox(const QUserPromptScript &s, const QString &title, const QString &text)
{
    for (const auto &r : s.records())
        if (r.kind == QUserPromptScript::Exec && r.title == title && r.text.contains(text))
            return true;
    return false;
}
