#include "shell/update_check.h"

#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "shell/web_links.h"
#include "ui/ui_text.h"
#include "varnoth_version.h"

#include <QApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// The wait cursor for the life of a scope.
class wait_cursor {
public:
    wait_cursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~wait_cursor() { QApplication::restoreOverrideCursor(); }
    wait_cursor(const wait_cursor&) = delete;
    wait_cursor& operator=(const wait_cursor&) = delete;
};

} // namespace

version_answer FetchVersionAnswer(const QUrl& address, int timeout_ms)
{
    version_answer answer;
    QNetworkAccessManager network;
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = network.get(request);

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    bool done = false;
    const auto finish = [&] {
        if (done)
            return;
        done = true;
        loop.quit();
    };
    const auto take = [&] {
        const qint64 room = kVersionAnswerLimit - static_cast<qint64>(answer.bytes.size());
        if (room > 0)
            answer.bytes += reply->read(room).toStdString();
        if (answer.bytes.size() >= static_cast<std::size_t>(kVersionAnswerLimit))
            finish(); // the rest of the answer is never read
    };
    const auto note_status = [&] {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid()) {
            answer.reached = true;
            answer.status = status.toInt();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, note_status);
    QObject::connect(reply, &QIODevice::readyRead, &loop, take);
    QObject::connect(reply, &QNetworkReply::finished, &loop, finish);
    QObject::connect(&deadline, &QTimer::timeout, &loop, finish);
    deadline.start(timeout_ms);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    note_status();
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError)
        answer.reached = true; // also an address without a status
    take();
    reply->disconnect(&loop);
    reply->abort();
    delete reply;
    if (answer.bytes.size() > static_cast<std::size_t>(kVersionAnswerLimit))
        answer.bytes.resize(kVersionAnswerLimit);
    return answer;
}

update_outcome ClassifyVersionAnswer(const version_answer& answer, uint32_t running)
{
    if (!answer.reached)
        return update_outcome::connection_failed;
    if (answer.status != 0 && (answer.status < 200 || answer.status > 299))
        return update_outcome::version_unknown;
    const uint32_t latest = ReadHexNumber(answer.bytes);
    if (latest == 0)
        return update_outcome::version_unknown;
    if (latest <= running)
        return update_outcome::up_to_date;
    return update_outcome::newer_available;
}

update_outcome CheckForUpdate(std::u16string_view site, int timeout_ms)
{
    update_outcome outcome;
    {
        wait_cursor cursor;
        const QUrl address(ToQString(VersionCheckAddress(site)));
        outcome =
            ClassifyVersionAnswer(FetchVersionAnswer(address, timeout_ms), static_cast<uint32_t>(kVarnothVersionValue));
    }
    switch (outcome) {
    case update_outcome::connection_failed:
        ShowMessage(DictionaryText(u"IDS_MSG_FAILED_CONNECT_SERVER"), MB_OK | MB_ICONERROR);
        break;
    case update_outcome::version_unknown:
        ShowMessage(DictionaryText(u"IDS_MSG_FAILED_GET_VERSION"), MB_OK | MB_ICONERROR);
        break;
    case update_outcome::up_to_date:
        ShowMessage(DictionaryText(u"IDS_MSG_NO_NEW_VERSION"), MB_OK | MB_ICONINFORMATION);
        break;
    case update_outcome::newer_available:
        if (ShowMessage(DictionaryText(u"IDS_MSG_NEW_VERSION_DETECTED"), MB_YESNO | MB_ICONQUESTION) == IDYES)
            OpenWebPage(site, kWebTargetDownload);
        break;
    }
    return outcome;
}
