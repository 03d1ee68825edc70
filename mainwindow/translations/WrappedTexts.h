#pragma once
// Texts that reach the translator through a helper function of their class,
// where lupdate cannot see them, listed under the context they are looked up
// in. Read by update.sh only; not compiled.

#include <QtGlobal>

static const char *const kWrappedTexts[] = {
    // widgets/QRibbon.cpp
    QT_TRANSLATE_NOOP("QRibbon", "Form"),
    QT_TRANSLATE_NOOP("QRibbon", "这是标题"),
    QT_TRANSLATE_NOOP("QRibbon", "主题"),
    QT_TRANSLATE_NOOP("QRibbon", "文件"),
    QT_TRANSLATE_NOOP("QRibbon", "编辑"),
    QT_TRANSLATE_NOOP("QRibbon", "窗体"),
    QT_TRANSLATE_NOOP("QRibbon", "视图"),
    QT_TRANSLATE_NOOP("QRibbon", "设置"),
    QT_TRANSLATE_NOOP("QRibbon", "帮助"),
    QT_TRANSLATE_NOOP("QRibbon", "蓝色"),
    QT_TRANSLATE_NOOP("QRibbon", "绿色"),
    QT_TRANSLATE_NOOP("QRibbon", "红色"),
    // widgets/uiStatusBar.cpp
    QT_TRANSLATE_NOOP("uiStatusBar", "Form"),
    QT_TRANSLATE_NOOP("uiStatusBar", "设备信息"),
    QT_TRANSLATE_NOOP("uiStatusBar", "发送速率:0帧/秒"),
    QT_TRANSLATE_NOOP("uiStatusBar", "接收速率:0帧/秒"),
    QT_TRANSLATE_NOOP("uiStatusBar", "发送帧数:0帧"),
    QT_TRANSLATE_NOOP("uiStatusBar", "接收帧数:0帧"),
    QT_TRANSLATE_NOOP("uiStatusBar", "清空计数"),
    QT_TRANSLATE_NOOP("uiStatusBar", "发送帧率:"),
    QT_TRANSLATE_NOOP("uiStatusBar", "接收帧率:"),
    QT_TRANSLATE_NOOP("uiStatusBar", "帧/秒"),
    QT_TRANSLATE_NOOP("uiStatusBar", "发送帧数:"),
    QT_TRANSLATE_NOOP("uiStatusBar", "接收帧数:"),
};
