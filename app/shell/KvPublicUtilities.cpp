#include "KvPublicUtilities.h"

#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <iterator>

#include "DeviceDescription.h"
#include "PrivateData.h"
#include "SystemVersion.h"
#include "UserDefaults.h"

namespace {

// Sizes are divided as doubles and shown in single precision.
QString Scaled(double bytes, double unit, const char* suffix) {
    return QString::asprintf("%0.2f %s", static_cast<float>(bytes / unit), suffix);
}

QString Bytes(double bytes) {
    return QString::asprintf("%.0f byte", static_cast<float>(bytes));
}

// The decimal units sizes are shown in, smallest first.
struct SizeUnit {
    double bytes;
    const char* suffix;
};
constexpr SizeUnit kUnits[] = {{1e3, "KB"}, {1e6, "MB"}, {1e9, "GB"}, {1e12, "TB"}};

// `bytes` in the largest of the first `unitCount` units it reaches.
QString SizeText(double bytes, size_t unitCount) {
    if (bytes < kUnits[0].bytes)
        return Bytes(bytes);
    size_t unit = 0;
    while (unit + 1 < unitCount && bytes >= kUnits[unit + 1].bytes)
        ++unit;
    return Scaled(bytes, kUnits[unit].bytes, kUnits[unit].suffix);
}

QString PrivateString(const char* key) {
    const QJsonValue value = PrivateData::value(key);
    return value.isString() ? value.toString() : QString();
}

}  // namespace

QString KvPublicUtilities::convertVolSpace(uint64_t bytes) {
    // Volumes are shown up to gigabytes.
    return SizeText(static_cast<double>(bytes), std::size(kUnits) - 1);
}

QString KvPublicUtilities::longlongDiskSize(int64_t bytes) {
    return SizeText(static_cast<double>(bytes), std::size(kUnits));
}

QString KvPublicUtilities::longlongConvertVolSpace(int64_t bytes) {
    return longlongDiskSize(bytes);
}

bool KvPublicUtilities::isMoreThan2GB(int64_t bytes) {
    return bytes >= 1000000 && bytes / 1000000 > 2048;
}

uint64_t KvPublicUtilities::volSpaceFromString(const QString& text) {
    if (text.size() < 2)
        return 0;
    const QString suffix = text.right(2);
    const auto named = std::find_if(std::begin(kUnits), std::end(kUnits),
                                    [&](const SizeUnit& unit) { return suffix == unit.suffix; });
    if (named == std::end(kUnits))
        return 0;
    const auto unit = static_cast<float>(named->bytes);
    const float number = text.left(text.size() - 2).trimmed().toFloat();
    const float product = number * unit;
    return product > 0 ? static_cast<uint64_t>(product) : 0;
}

QString KvPublicUtilities::fileSystemTypeForInt(int fileSystem, int isDmg, int) {
    if (isDmg)
        return "Disk Image";
    static const char* const kNames[] = {"FAT12", "FAT16", "FAT32", "NTFS", "EXT2",   "EXT3",
                                         "RAW",   "EXFAT", "HFS+",  "APFS", "Unknown"};
    if (fileSystem >= 0 && fileSystem < static_cast<int>(std::size(kNames)))
        return kNames[fileSystem];
    return "Disk";
}

QString KvPublicUtilities::getProductName() {
    return PrivateString("PRODUCTNAME");
}

QString KvPublicUtilities::getProjectVersion() {
    const QString version = PrivateString("PROJECT_VERSION");
    qInfo("project version %s", qPrintable(version));
    return version;
}

QString KvPublicUtilities::getInstallVersion() {
    return PrivateString("INSTALL_VERSION");
}

QString KvPublicUtilities::getUpDataTimeStr() {
    return PrivateString("upDataTimeStr");
}

bool KvPublicUtilities::writeUpDataTimeStr(const QString& time) {
    return PrivateData::setValue("upDataTimeStr", time);
}

bool KvPublicUtilities::isBootable() {
    return PrivateString("isBootable") == "YES";
}

void KvPublicUtilities::isCanBeUseNetWork(QObject* context, std::function<void(bool)> done) {
    auto* network = new QNetworkAccessManager(context);
    QNetworkRequest request(QUrl("https://www.debian.org/"));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(5000);
    QNetworkReply* reply = network->get(request);
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, network, done] {
        done(reply->error() == QNetworkReply::NoError && reply->bytesAvailable() > 0);
        reply->deleteLater();
        network->deleteLater();
    });
}

QDateTime KvPublicUtilities::convertDateFromString(const QString& text) {
    const QLocale locale;
    return locale.toDateTime(text, locale.dateFormat(QLocale::LongFormat) + " " +
                                       locale.timeFormat(QLocale::ShortFormat));
}

void KvPublicUtilities::getSystemVersionMajor(uint32_t* major, uint32_t* minor, uint32_t* bugFix) {
    SystemVersion version;
    if (!ReadSystemVersion(version)) {
        qWarning("Unable to obtain system version: %ld", 0L);
        version = {10, 0, 0};
    }
    if (major)
        *major = version.major;
    if (minor)
        *minor = version.minor;
    if (bugFix)
        *bugFix = version.patch;
}

int KvPublicUtilities::getSystemVersion() {
    uint32_t major = 0;
    uint32_t minor = 0;
    getSystemVersionMajor(&major, &minor, nullptr);
    const QString minorText = minor >= 10 ? QString::number(minor) : "0" + QString::number(minor);
    return (QString::number(major) + minorText).toInt();
}

QString KvPublicUtilities::GetCurrentLanaguage() {
    const QStringList languages = UserDefaults::languages();
    return languages.isEmpty() ? QString() : languages.first();
}

QVariantMap KvPublicUtilities::KvGetDiskInfo(const QString& path) {
    QVariantMap info;
    for (const auto& [key, value] : DescribeBlockDevice(path.toStdString()))
        info.insert(QString::fromStdString(key), QString::fromStdString(value));
    return info;
}

QString KvExecCommand(const QString& program, const QStringList& arguments) {
    QTemporaryFile output;
    output.setAutoRemove(false);
    if (!output.open())
        return {};
    const QString path = output.fileName();
    output.close();
    QProcess process;
    process.setStandardOutputFile(path);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) {
        QFile::remove(path);
        return {};
    }
    return path;
}
