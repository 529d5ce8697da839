// String-table texts as the widgets take them.
#pragma once

#include <QString>

#include <cstdint>

namespace klova {

// The text of a string-table id; empty for an id the table does not hold.
QString StringText(uint32_t id);

// The text of a string-table id with its "%s" replaced by argument (taken literally,
// so a name with "%" in it cannot disturb the formatting).
QString StringText(uint32_t id, const QString& argument);

}  // namespace klova
