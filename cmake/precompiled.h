// Headers that nearly every source file of a target includes. With KX_PCH on, each library and test
// suite parses them once instead of once per file. Only system and Qt headers belong here, so the
// precompiled header never goes stale with the project's own code.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

// Targets that see Qt GUI's headers get its common classes as well.
#if __has_include(<QImage>)
#include <QImage>
#include <QPainter>
#endif

#if __has_include(<gtest/gtest.h>) && defined(KX_PCH_TESTS)
#include <gtest/gtest.h>
#endif
