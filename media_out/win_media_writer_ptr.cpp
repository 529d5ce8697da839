#include "media_out/win_media_writer_ptr.h"

#include "asfout/win_media_writer.h"

namespace klova {

void WinMediaWriterPtr::reset()
{
    if (writer_)
        std::exchange(writer_, nullptr)->Release();
    library_.reset();
}

}  // namespace klova
