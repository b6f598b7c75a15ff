// Build step: turns a readable template (XML) into a template file in stored form, the
// sheet taken from its page. A template that does not load fails the build.
#include "uRMReportEx.h"

#include <QFile>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kx_rmfpack template.xml out.rmf\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    TRMReportEx report;
    QString error;
    if (!report.Template().FromXml(in.readAll(), &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(error));
        return 1;
    }
    if (!report.SaveToFile(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "%s\n", qPrintable(report.LastError()));
        return 1;
    }
    return 0;
}
