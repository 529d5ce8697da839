// The program's icon in every size a desktop asks for (16 to 256 pixels).
#pragma once

#include <QIcon>

namespace klova {

QIcon ApplicationIcon();

}  // namespace klova
