#pragma once
// The device id: "<type name>-<device index>-<channel>", the key of every
// per-channel object, file and tab, and its display form for tab titles.

#include <QString>

QString makeDevId(const QString &typeName, int devIndex, int channel);
bool parseDevId(const QString &devId, QString &typeName, int *devIndex = nullptr, int *channel = nullptr);
QString getDevIdTextEx(int lang, const QString &devId);
QString getDevIdText(const QString &devId);
QString parseDevIdText(const QString &text);
