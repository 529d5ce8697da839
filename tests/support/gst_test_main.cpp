// main() of the GoogleTest programs: GStreamer is initialised once for the process.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdlib>

// Under LeakSanitizer: allocations GLib and GStreamer make once per process and keep
// for its lifetime (type system, registry, thread pools) are not leaks of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:g_type_register_static\n"
           "leak:g_type_class_ref\n"
           "leak:gst_init_check\n"
           "leak:gst_registry\n"
           "leak:gst_plugin_load\n"
           "leak:g_thread_pool\n"
           "leak:g_system_thread_new\n"
           "leak:libgobject-2.0.so\n";
}

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("GST_REGISTRY_FORK", "no", 0);
    ::testing::InitGoogleTest(&argc, argv);
    gst_init(&argc, &argv);
    const int result = RUN_ALL_TESTS();
    gst_deinit();
    return result;
}
