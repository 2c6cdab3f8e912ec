#pragma once

#include <QMetaType>

// Fixed render-quality presets the user picks; values outside the four are carried but apply nothing.
enum class RenderProfile : int { Eco = 0, Balanced = 1, Quality = 2, HiEnd = 3 };

Q_DECLARE_METATYPE(RenderProfile)
