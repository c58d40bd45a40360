#include "batch/naming/NominatimGeocoder.h"

#include "base/Logging.h"
#include "batch/naming/GeoNamesGeocoder.h"
#include "platform/OnlineServices.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>
#include <cmath>

namespace {

QString firstOf(const QJsonObject& object, std::initializer_list<const char*> keys)
{
    for (const char* key : keys) {
        const QString value = object.value(QLatin1String(key)).toString().trimmed();
        if (!value.isEmpty())
            return value;
    }
    return {};
}

} // namespace

NominatimGeocoder::NominatimGeocoder(QString reverseUrl, QByteArray acceptLanguage)
    : m_reverseUrl(std::move(reverseUrl))
    , m_acceptLanguage(std::move(acceptLanguage))
{
}

ReverseGeocodeResult NominatimGeocoder::addressFromAnswer(const QByteArray& json)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject())
        return { QStringLiteral("the place-name service gave no readable answer"), std::nullopt };
    const QJsonObject answer = document.object();
    if (answer.contains(QLatin1String("error")))
        return {};
    const QJsonObject address = answer.value(QLatin1String("address")).toObject();
    AddressDictionary result;
    const auto put = [&](const char* key, const QString& value) {
        if (!value.isEmpty())
            result.insert(QLatin1String(key), value);
    };
    put("Name", firstOf(answer, { "name" }).isEmpty()
            ? firstOf(address, { "road", "pedestrian", "footway", "path", "square", "neighbourhood", "suburb" })
            : firstOf(answer, { "name" }));
    put("City", firstOf(address, { "city", "town", "village", "municipality", "hamlet" }));
    put("State", firstOf(address, { "state", "region", "province", "state_district", "county" }));
    put("Country", firstOf(address, { "country" }));
    if (result.isEmpty())
        return {};
    return { {}, result };
}

ReverseGeocodeResult NominatimGeocoder::ask(double latitude, double longitude) const
{
    QUrl url(m_reverseUrl);
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("format"), QStringLiteral("jsonv2"));
    query.addQueryItem(QStringLiteral("lat"), QString::number(latitude, 'f', 6));
    query.addQueryItem(QStringLiteral("lon"), QString::number(longitude, 'f', 6));
    query.addQueryItem(QStringLiteral("zoom"), QStringLiteral("18"));
    query.addQueryItem(QStringLiteral("addressdetails"), QStringLiteral("1"));
    url.setQuery(query);

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, OnlineServices::userAgent());
    if (!m_acceptLanguage.isEmpty())
        request.setRawHeader("Accept-Language", m_acceptLanguage);
    request.setTransferTimeout(int(m_timeLimit.count()));

    QNetworkAccessManager network;
    QEventLoop loop;
    QNetworkReply* reply = network.get(request);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status >= 300)
        return { reply->errorString(), std::nullopt };
    return addressFromAnswer(reply->readAll());
}

void NominatimGeocoder::reverseGeocodeLocation(double latitude, double longitude, Completion completion)
{
    if (!std::isfinite(latitude) || !std::isfinite(longitude)) {
        completion({});
        return;
    }
    ReverseGeocodeResult result = ask(latitude, longitude);
    if (result.failed()) {
        qCInfo(lcBatch).noquote() << "place-name service failed (" << result.error << "); using the offline places";
        result = { {}, GeoNamesGeocoder::nearestPlace(latitude, longitude) };
    }
    completion(std::move(result));
}
