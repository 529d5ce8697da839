// The program's string table: every user-visible text, loaded by its numeric id.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace klova {

enum StringId : uint32_t {
    IDS_UNCOMPRESSED = 1,
    IDS_DEFAULT_INPUT_EXTENSION = 2,
    IDS_INPUT_FILTER = 3,
    IDS_OUTPUT_FILTER = 4,
    IDS_ABOUTBOX = 101,
    IDS_CANNOT_OPEN_INPUT = 61239,
    IDS_CANNOT_OPEN_OUTPUT = 61240,
    IDS_CANNOT_INIT_GRAPH = 61241,
    IDS_CANNOT_CONVERT = 61242,
    IDS_INITIALIZING = 61243,
    IDS_STATISTICS_FORMAT = 61244,
    IDS_DURATION_FORMAT = 61245,
    IDS_STOPPING = 61246,
    IDS_CONFIRM_CANCEL = 61247,
    IDS_CANNOT_WRITE_OUTPUT = 61248,
    IDS_INVALID_OUTPUT_FORMAT = 61249,
    IDS_WINDOWS_MEDIA_ERROR = 61251,
    IDS_PROFILE_EXTENSION = 61252,
    IDS_PROFILE_FILTER = 61253,
    IDS_BROWSE_INPUT = 61254,
    IDS_BROWSE_OUTPUT = 61255,
    IDS_BROWSE_PROFILES = 61256,
    IDS_AUDIO_ADVANCED = 61257,
    IDS_VIDEO_ADVANCED = 61258,
    IDS_PROJECT_FILTER = 61259,
    IDS_PROJECT_EXTENSION = 61260,
    IDS_PROJECT_ENTRY_FORMAT = 61261,
    IDS_CANNOT_WRITE_PROJECT = 61262,
    IDS_WEB_ADDRESS = 61263,
    IDS_NO_VIDEO_STREAM = 61264,
    IDS_INVALID_AUDIO_FORMAT = 61265,
};

// The text of a string-table id; empty for an id the table does not hold.
std::string LoadStringResource(uint32_t id);

// Initial entries of the two fixed drop-down lists of the main window.
std::span<const char* const> OutputTypeEntries();
std::span<const char* const> SplitModeEntries();

}  // namespace klova
