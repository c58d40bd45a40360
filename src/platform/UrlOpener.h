#pragma once

#include <QString>
#include <QUrl>

// Opens web pages in the user's browser. The application uses the desktop's
// handler; tests install one that records the URL instead.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // True when the page was handed to a browser.
    virtual bool openUrl(const QUrl& url) = 0;
};

class DesktopUrlOpener : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override;
};
