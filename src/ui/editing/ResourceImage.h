#pragma once

#include "render/DrawUtils.h"

#include <QImage>
#include <QString>

#include <stdexcept>

// A picture of the program's resources, or null when it is missing: a view draws without it rather than stop
// (a transition choice may name an icon this build does not have).
inline QImage resourceImage(const QString& name) {
    try {
        return GetCGImageNamed(name);
    } catch (const std::exception&) {
        return QImage();
    }
}
