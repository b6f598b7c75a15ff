#pragma once
// A scripted stand-in for the service on a free loopback port: answers each call by its
// "module" field with a prepared document and records every call's form fields in wire
// order, so tests can check exactly what was sent. Points the client at itself while alive.
#include "uAnswerCodec.h"
#include "uConfig.h"
#include "uHttpWeb.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <chrono>
#include <httplib.h>
#include <mutex>
#include <thread>

struct TFakeCall {
    QList<QPair<QString, QString>> fields; // form fields in order, "sign" and "end" left out
    QMap<QString, QString> files;          // attachments by name

    QString module() const { return value(QStringLiteral("module")); }
    QString value(const QString& name) const
    {
        for (const auto& f : fields)
            if (f.first == name)
                return f.second;
        return QStringLiteral("<absent>");
    }
    QStringList names() const
    {
        QStringList n;
        for (const auto& f : fields)
            n << f.first;
        return n;
    }
};

class TFakeService {
public:
    TFakeService()
    {
        m_server.set_tcp_nodelay(true);
        m_server.Post("/Service.aspx", [this](const httplib::Request&, httplib::Response& res,
                                              const httplib::ContentReader& reader) {
            TFakeCall call;
            std::string name, content;
            bool isFile = false;
            auto flush = [&] {
                if (name.empty())
                    return;
                const QString n = QString::fromStdString(name);
                if (isFile)
                    call.files.insert(n, QString::fromStdString(content));
                else if (n != u"sign" && n != u"end")
                    call.fields.append({n, QString::fromStdString(content)});
            };
            reader(
                [&](const httplib::MultipartFormData& part) {
                    flush();
                    name = part.name;
                    isFile = !part.filename.empty();
                    content.clear();
                    return true;
                },
                [&](const char* data, size_t n) {
                    content.append(data, n);
                    return true;
                });
            // The body's closing empty line belongs to the last part on the wire.
            if (isFile && content.size() >= 2 && content.compare(content.size() - 2, 2, "\r\n") == 0)
                content.resize(content.size() - 2);
            flush();
            std::lock_guard lock(m_mutex);
            m_calls.append(call);
            const QString module = call.module();
            QByteArray xml;
            for (const auto& [when, answer] : m_when)
                if (when.first == module && call.value(when.second.first) == when.second.second)
                    xml = answer;
            if (xml.isEmpty() && m_answers.contains(module))
                xml = m_answers.value(module);
            else if (xml.isEmpty())
                xml = "<error_response><code>404</code><msg>unknown module " + module.toUtf8() + "</msg></error_response>";
            const QByteArray wire = KxEncodeAnswer(xml);
            res.set_content(std::string(wire.constData(), size_t(wire.size())), "application/octet-stream");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        KxSetServiceUrl(QStringLiteral("http://127.0.0.1:%1/Service.aspx").arg(m_port));
    }
    ~TFakeService()
    {
        KxResetTransport();
        KxSetServiceUrl(QString());
        m_server.stop();
        m_thread.join();
    }

    // The whole answer document for a module, e.g. "<response><a>1</a></response>".
    void answer(const QString& module, const QByteArray& xml)
    {
        std::lock_guard lock(m_mutex);
        m_answers.insert(module, xml);
    }
    // The answer for calls of `module` whose field `field` is `value`, before the module's own.
    void answerWhen(const QString& module, const QString& field, const QString& value, const QByteArray& xml)
    {
        std::lock_guard lock(m_mutex);
        m_when.append({{module, {field, value}}, xml});
    }
    void fail(const QString& module, int code, const QString& msg)
    {
        answer(module, "<error_response><code>" + QByteArray::number(code) + "</code><msg>" + msg.toUtf8()
                           + "</msg></error_response>");
    }
    QList<TFakeCall> calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    QStringList modules()
    {
        QStringList m;
        for (const auto& c : calls())
            m << c.module();
        return m;
    }
    void clearCalls()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    QMap<QString, QByteArray> m_answers;
    QList<QPair<QPair<QString, QPair<QString, QString>>, QByteArray>> m_when;
    QList<TFakeCall> m_calls;
};
