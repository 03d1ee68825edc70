#pragma once
// The device id: "<type name>-<device index>-<channel>", the key of every
// per-channel object, file and tab, and its display form for tab titles.

#include <QString>

QString makeDevId(const QString &typeName, int devIndex, int channel);
bool parseDevId(const QString &devId, QString &typeName, int *devIndex = nullptr, int *channel = nullptr);
QString getDevIdTextEx(int lang, const QString &devId);
// The adapter part of that form: "<type name> 设备:<index>" ("DEV:" in English).
QString getAdapterTextEx(int lang, const QString &typeName, int devIndex);
QString getDevIdText(const QString &devId);
QString parseDevIdText(const QString &text);
