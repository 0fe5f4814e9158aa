#include "gui/online/LoadFailurePage.h"

#include "core/common/messages/OnlineMessages.h"
#include "gui/common/QtText.h"

#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>

namespace quillane::gui {

namespace {

// Chromium's code for a load that another one replaced: nothing failed.
constexpr int kAborted = -3;

constexpr const char* kFailedProperty = "quillaneFailedAddress";

QString escaped(const std::string& text)
{
    return toQ(text).toHtmlEscaped();
}

} // namespace

void ShowOwnLoadFailures(QWebEnginePage* page, SayText say, MessageKey headline, std::optional<MessageKey> advice)
{
    page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    QObject::connect(
        page, &QWebEnginePage::loadingChanged, page,
        [page, say = std::move(say), headline, advice](const QWebEngineLoadingInfo& info) {
            if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus &&
                info.url().scheme() != QLatin1String("data")) {
                page->setProperty(kFailedProperty, QVariant());
            }
            if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus ||
                info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain ||
                info.errorDomain() == QWebEngineLoadingInfo::NoErrorDomain || info.errorCode() == kAborted) {
                return;
            }
            page->setProperty(kFailedProperty, info.url());
            // The account page's address carries the password in its query.
            const std::string address = fromQ(
                info.url().adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo).toDisplayString());
            const std::string title = say(Message{headline, {}});
            QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>") +
                           escaped(title) +
                           QStringLiteral("</title><style>body{font-family:sans-serif;max-width:40em;"
                                          "margin:2em auto;padding:0 1em}h1{font-size:1.4em}"
                                          "</style></head><body><h1 id=\"unreachable\">") +
                           escaped(title) + QStringLiteral("</h1><p id=\"reason\">") +
                           escaped(say(Message{msg::OnlineUnreachableReason, {address, fromQ(info.errorString())}})) +
                           QStringLiteral("</p>");
            if (advice) {
                html +=
                    QStringLiteral("<p id=\"advice\">") + escaped(say(Message{*advice, {}})) + QStringLiteral("</p>");
            }
            html += QStringLiteral("</body></html>");
            // Not from within the engine's report of the failed load; and
            // without a base address, so nothing on it passes for the page that failed.
            QMetaObject::invokeMethod(
                page, [page, html] { page->setHtml(html); }, Qt::QueuedConnection);
        });
}

QUrl FailedAddress(const QWebEnginePage* page)
{
    return page->property(kFailedProperty).toUrl();
}

} // namespace quillane::gui
