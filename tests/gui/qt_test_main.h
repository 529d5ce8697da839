// main() of the Qt Test programs: GStreamer and the application are set up once for the
// process, offscreen unless a display is asked for.
#pragma once

#include <gst/gst.h>

#include <QApplication>
#include <QTest>

#include <cstdlib>

#define KLOVA_QTEST_MAIN(TestClass)                             \
    int main(int argc, char** argv)                             \
    {                                                           \
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);            \
        ::setenv("GST_REGISTRY_FORK", "no", 0);                 \
        gst_init(&argc, &argv);                                 \
        int result = 0;                                         \
        {                                                       \
            QApplication application(argc, argv);               \
            TestClass test;                                     \
            result = QTest::qExec(&test, argc, argv);           \
        }                                                       \
        gst_deinit();                                           \
        return result;                                          \
    }
