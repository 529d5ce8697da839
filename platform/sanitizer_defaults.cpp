// Linked into every program of a sanitizer build (KLOVA_SANITIZE). GLib and GStreamer
// keep some allocations for the whole life of the process (type system, registry,
// start-up buffers), and so do a few third-party libraries (an MPEG-2 encoder's
// per-stream state, the strings x264 copies when an encoder opens, which GStreamer's
// x264enc never hands back, the D-Bus connection Qt opens under X); they are not leaks
// of ours. Their stacks only show where they
// come from when unwinding does not rely on frame pointers, which GLib lacks.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

// Quiet about the suppressions it used: programs whose standard error is checked
// (klova-convert's listings) must stay silent there.
extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:_dl_init\n"
           "leak:g_type_register_static\n"
           "leak:g_type_register_fundamental\n"
           "leak:g_type_class_ref\n"
           "leak:g_type_add_interface_static\n"
           "leak:gst_init_check\n"
           "leak:gst_update_registry\n"
           "leak:gst_plugin_load\n"
           "leak:gst_element_register\n"
           "leak:gst_element_class_add_static_pad_template\n"
           "leak:g_thread_pool_new\n"
           "leak:libmpeg2encpp-2.1.so\n"
           "leak:libx264.so\n"
           "leak:libdbus-1.so\n";
}
