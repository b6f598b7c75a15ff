#pragma once
// The configuration file a packaged service starts with (--config FILE): one option a line,
// "name = value", named as the long command-line options are; '#' starts a comment. Options
// on the command line win over the file's.
#include <QCommandLineParser>
#include <QMap>
#include <QString>

class TServiceConfig {
public:
    // Reads the file named by the parser's --config, if any. Throws std::runtime_error for a
    // file that cannot be read, a line that is not "name = value", or a name not in `known`.
    TServiceConfig(const QCommandLineParser& parser, const QStringList& known);
    // The command line's value, else the file's, else the option's default.
    QString value(const QString& name) const;
    bool isSet(const QString& name) const;

private:
    const QCommandLineParser& m_parser;
    QMap<QString, QString> m_file;
};

struct TServiceOptions;

// The service's options (with --config); their names are what a configuration file may set.
void KxAddServiceOptions(QCommandLineParser& parser);
QStringList KxServiceOptionNames();
// The options as given. Throws std::runtime_error naming a value that will not do.
TServiceOptions KxServiceOptionsFrom(const TServiceConfig& config);

// The database an administration command or the service works on: --db, or the config
// file's, or the default SQLite file.
QString KxDatabaseText(const TServiceConfig& config);
