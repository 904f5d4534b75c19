#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

namespace talvane {

// Takes the web and mail links the program opens while it exists, instead of the desktop.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    UrlRecorder();
    ~UrlRecorder() override;

    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

} // namespace talvane
