#include "app/CommandLine.h"

#include <QRegularExpression>

namespace tess::app {

CommandLine CommandLine::parse(const QStringList& args)
{
    CommandLine cl;
    if (!args.isEmpty() && args.first() == QLatin1String("merge")) {
        const std::optional<tools::MergeArguments> merge = tools::parseMergeArguments(args.mid(1));
        cl.action = merge ? Action::Merge : Action::MergeUsage;
        cl.merge = merge.value_or(tools::MergeArguments {});
        return cl;
    }
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            cl.action = Action::Help;
            return cl;
        }
        QString host;
        if (a == QLatin1String("--engine-host") && i + 1 < args.size())
            host = args[++i];
        else if (a.startsWith(QLatin1String("--engine-host=")))
            host = a.mid(14);
        else if (a == QLatin1String("--engine-host")) {
            cl.action = Action::Error;
            cl.error = QStringLiteral("--engine-host needs HOST[:PORT]");
            return cl;
        } else {
            // Toolkit options (-platform, -style, ...) are Qt's affair.
            continue;
        }
        // A host name or address, with an optional port: nothing that could
        // change the request's path or query.
        static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9.-]+(:([0-9]{1,5}))?$"));
        const QRegularExpressionMatch match = valid.match(host);
        const int port = match.captured(2).isEmpty() ? 80 : match.captured(2).toInt();
        if (!match.hasMatch() || port < 1 || port > 65535) {
            cl.action = Action::Error;
            cl.error = QStringLiteral("not a HOST[:PORT]: %1").arg(host);
            return cl;
        }
        cl.engineHost = host.toLatin1();
    }
    return cl;
}

QString CommandLine::usage()
{
    return QStringLiteral("Usage:\n"
                          "  tessaroon [--engine-host HOST[:PORT]]\n"
                          "      Start the program. --engine-host sends the searches to another\n"
                          "      engine host (default www.baidu.com), e.g. the sample engine at\n"
                          "      127.0.0.1:8642.\n"
                          "  tessaroon merge -o TARGET SOURCE...\n"
                          "      Merge address lists into TARGET: the sources joined in order,\n"
                          "      lines sorted, repeated lines (ignoring letter case) dropped.\n"
                          "      Exit status 0 on success; otherwise the error on standard error.\n"
                          "  tessaroon --help\n");
}

} // namespace tess::app
