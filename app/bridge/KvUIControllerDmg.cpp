#include "ImageDevice.h"
#include "KvUIController.h"
#include "KvUIDeviceData.h"

int KvUIController::KvOpenDmgFile(const QString& path, QString* refusal) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    if (model == nullptr)
        return 0;
    const QByteArray utf8 = path.toUtf8();
    CDMGDeviceInfoStruct record{};
    const DmgRefusal checked = CheckDmgFile(utf8.toStdString(), record);
    if (checked != kDmgAccepted) {
        if (refusal != nullptr)
            *refusal = QString::fromUtf8(DescribeDmgRefusal(checked));
        return 0;
    }
    const int opened = model->KvOpenDmgFileImp(utf8.constData(), record);
    if (opened == 0 && refusal != nullptr)
        *refusal = QString::fromUtf8(DescribeDmgRefusal(kDmgUnreadable));
    return opened;
}
