#include "gui/string_text.h"

#include "resources/string_table.h"

namespace klova {

QString StringText(uint32_t id) { return QString::fromStdString(LoadStringResource(id)); }

QString StringText(uint32_t id, const QString& argument)
{
    QString text = StringText(id);
    const qsizetype at = text.indexOf(QLatin1String("%s"));
    if (at >= 0)
        text.replace(at, 2, argument);
    return text;
}

}  // namespace klova
