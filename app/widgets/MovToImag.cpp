#include "MovToImag.h"

void MovToImag::ExcuteInMainThread() {
    execute_ = false;
    m_pImage = provider_ ? provider_(m_strMovPath) : QImage();
}
