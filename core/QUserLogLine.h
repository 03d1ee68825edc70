#pragma once
// One line of the program's log in its usual form: "> " and the text in
// quotes, through the Qt message channel (QUserLogHandler writes it to
// "log/kem.log").

class QString;

void logLine(const QString &text);
