#include "plan/reminder_files.h"

#include <QDir>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace hibi {

namespace {

const QString kDescription = QStringLiteral("ヌピカ貯めよう！ 毎日のお知らせ");

QString escaped(const QString& word, const QString& special) {
    QString out;
    for (const QChar c : word) {
        if (c == u'\n') {
            out += QStringLiteral("\\n");
            continue;
        }
        if (special.contains(c)) {
            out += u'\\';
        }
        out += c;
    }
    return out;
}

}  // namespace

QString reminderTimerName() {
    return QStringLiteral("hibinobori-reminder.timer");
}

QString reminderServiceName() {
    return QStringLiteral("hibinobori-reminder.service");
}

QString reminderAutostartName() {
    return QStringLiteral("hibinobori-reminder.desktop");
}

QString reminderTaskName() {
    return QStringLiteral("hibinobori-reminder");
}

QString systemdQuoted(const QString& word) {
    QString out = escaped(word, QStringLiteral("\\\""));
    out.replace(u'%', QStringLiteral("%%")).replace(u'$', QStringLiteral("$$"));
    return u'"' + out + u'"';
}

QString desktopExecQuoted(const QString& word) {
    // Inside the quotes of Exec, " ` $ \ take a backslash; the value as a
    // whole is then a string whose backslashes are doubled once more.
    QString quoted = u'"' + escaped(word, QStringLiteral("\"`$\\")) + u'"';
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'%', QStringLiteral("%%"));
    return quoted;
}

QString windowsQuoted(const QString& word) {
    // Backslashes count only before a quote: double those, and the ones
    // before the closing quote.
    QString out = QStringLiteral("\"");
    int backslashes = 0;
    for (const QChar c : word) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        out += QString(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        out += c;
    }
    out += QString(backslashes * 2, u'\\');
    return out + u'"';
}

QString reminderTimerUnit(const QTime& time) {
    return QStringLiteral(
               "[Unit]\n"
               "Description=%1\n"
               "\n"
               "[Timer]\n"
               "OnCalendar=*-*-* %2:00\n"
               "Persistent=true\n"
               "\n"
               "[Install]\n"
               "WantedBy=timers.target\n")
        .arg(kDescription, time.toString(u"HH:mm"));
}

QString reminderServiceUnit(const QString& program, const QString& directory) {
    return QStringLiteral(
               "[Unit]\n"
               "Description=%1\n"
               "\n"
               "[Service]\n"
               "Type=exec\n"
               "ExecStart=%2 --remind %3\n")
        .arg(kDescription, systemdQuoted(program), systemdQuoted(directory));
}

QString reminderAutostartEntry(const QString& program, const QString& directory) {
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=%1\n"
               "Exec=%2 --remind %3\n"
               "NoDisplay=true\n"
               "Terminal=false\n")
        .arg(kDescription, desktopExecQuoted(program), desktopExecQuoted(directory));
}

QString reminderTaskXml(const QTime& time, const QString& program, const QString& directory) {
    QString xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("Task"));
    w.writeAttribute(QStringLiteral("version"), QStringLiteral("1.2"));
    w.writeDefaultNamespace(
        QStringLiteral("http://schemas.microsoft.com/windows/2004/02/mit/task"));
    w.writeStartElement(QStringLiteral("RegistrationInfo"));
    w.writeTextElement(QStringLiteral("Description"), kDescription);
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("Triggers"));
    w.writeStartElement(QStringLiteral("CalendarTrigger"));
    w.writeTextElement(QStringLiteral("StartBoundary"),
                       QStringLiteral("2000-01-01T%1:00").arg(time.toString(u"HH:mm")));
    w.writeStartElement(QStringLiteral("ScheduleByDay"));
    w.writeTextElement(QStringLiteral("DaysInterval"), QStringLiteral("1"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("Principals"));
    w.writeStartElement(QStringLiteral("Principal"));
    w.writeAttribute(QStringLiteral("id"), QStringLiteral("Author"));
    w.writeTextElement(QStringLiteral("LogonType"), QStringLiteral("InteractiveToken"));
    w.writeTextElement(QStringLiteral("RunLevel"), QStringLiteral("LeastPrivilege"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("Settings"));
    // Like Persistent=true: a machine that was off at the time reminds later.
    w.writeTextElement(QStringLiteral("StartWhenAvailable"), QStringLiteral("true"));
    w.writeTextElement(QStringLiteral("DisallowStartIfOnBatteries"), QStringLiteral("false"));
    w.writeTextElement(QStringLiteral("StopIfGoingOnBatteries"), QStringLiteral("false"));
    w.writeTextElement(QStringLiteral("MultipleInstancesPolicy"), QStringLiteral("IgnoreNew"));
    w.writeTextElement(QStringLiteral("ExecutionTimeLimit"), QStringLiteral("PT8H"));
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("Actions"));
    w.writeAttribute(QStringLiteral("Context"), QStringLiteral("Author"));
    w.writeStartElement(QStringLiteral("Exec"));
    w.writeTextElement(QStringLiteral("Command"), QDir::toNativeSeparators(program));
    w.writeTextElement(
        QStringLiteral("Arguments"),
        QStringLiteral("--remind ") + windowsQuoted(QDir::toNativeSeparators(directory)));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

std::optional<QTime> reminderTimerTime(const QString& timerUnit) {
    static const QRegularExpression line(
        QStringLiteral("^OnCalendar=\\*-\\*-\\* (\\d\\d:\\d\\d):00$"),
        QRegularExpression::MultilineOption);
    const QTime time = QTime::fromString(line.match(timerUnit).captured(1), u"HH:mm");
    return time.isValid() ? std::optional(time) : std::nullopt;
}

std::optional<QTime> reminderTaskTime(const QString& taskXml) {
    QXmlStreamReader reader(taskXml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement &&
            reader.name() == u"StartBoundary") {
            const QDateTime start = QDateTime::fromString(reader.readElementText(), Qt::ISODate);
            return start.isValid() ? std::optional(start.time()) : std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace hibi
