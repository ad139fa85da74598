# Precompiled headers for a build from nothing (a fresh clone in CI): about half of a test's
# compile time goes to Qt's, OpenCV's and GoogleTest's headers, parsed again for every file.
# One header is compiled once for the tests (with GoogleTest) and once for everything else, and
# every target reuses its one. A precompiled
# header that does not fit a file's flags is refused by the compiler (-Winvalid-pch warns), and
# the file then reads the same headers as text: the result is the same, only slower.
#
# Off by default when a compiler launcher such as ccache is set: ccache cannot cache a file that
# uses a precompiled header unless its sloppiness allows it, and a warm cache is faster anyway.
if(DEFINED CMAKE_CXX_COMPILER_LAUNCHER AND NOT CMAKE_CXX_COMPILER_LAUNCHER STREQUAL "")
    set(mm_pch_default OFF)
else()
    set(mm_pch_default ON)
endif()
option(MOULDMON_PCH "Precompile the headers of Qt, OpenCV and GoogleTest" ${mm_pch_default})

# The headers most files read, directly or through the project's own headers.
set(MM_PCH_HEADERS
    <algorithm> <array> <atomic> <cmath> <cstring> <functional> <map> <memory> <string>
    <utility> <vector>
    <QByteArray> <QCoreApplication> <QDateTime> <QDebug> <QDir> <QFile> <QFileInfo> <QHash>
    <QJsonArray> <QJsonDocument> <QJsonObject> <QList> <QMap> <QMutex> <QObject> <QPointer>
    <QSqlDatabase> <QSqlQuery> <QString> <QStringList> <QThread> <QTimer> <QVariant> <QVector>
    <QApplication> <QImage> <QLabel> <QPainter> <QPushButton> <QWidget>
    <opencv2/core.hpp> <opencv2/imgproc.hpp>)

# What the hosts are compiled with beyond the project's flags; every user gets the same, so the
# header fits (the compiler checks each macro the header was built with) and, if it is refused,
# the text it falls back to is found.
function(mm_pch_settings target)
    target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:QT_NO_DEBUG>)
    target_include_directories(${target} SYSTEM PRIVATE ${MM_PCH_INCLUDES})
endfunction()

# Every target defined in DIR and below it.
function(mm_all_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub ${subdirs})
        mm_all_targets(${sub} sub_targets)
        list(APPEND targets ${sub_targets})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Whether TARGET links Qt, directly or through the libraries it links: only those files are
# built with -fPIC and find Qt's headers, which the precompiled header reads.
function(mm_links_qt target out)
    set(${out} FALSE PARENT_SCOPE)
    if(NOT TARGET ${target})
        return()
    endif()
    get_target_property(imported ${target} IMPORTED)
    if(imported)
        get_target_property(libs ${target} INTERFACE_LINK_LIBRARIES)
    else()
        get_target_property(libs ${target} LINK_LIBRARIES)
    endif()
    foreach(lib ${libs})
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" lib "${lib}")
        if(lib MATCHES "^Qt5::")
            set(${out} TRUE PARENT_SCOPE)
            return()
        endif()
        if(lib MATCHES "^\\$<" OR NOT TARGET ${lib})
            continue()
        endif()
        mm_links_qt(${lib} found)
        if(found)
            set(${out} TRUE PARENT_SCOPE)
            return()
        endif()
    endforeach()
endfunction()

# Gives every library and program of the project that links Qt the precompiled header of its
# kind.
function(mm_use_precompiled_headers)
    if(NOT MOULDMON_PCH)
        return()
    endif()
    mm_all_targets(${PROJECT_SOURCE_DIR} targets)
    # As plain folders: GoogleTest's target is not seen from the folders added before it.
    set(MM_PCH_INCLUDES ${OpenCV_INCLUDE_DIRS})
    foreach(lib Qt5::Core Qt5::Gui Qt5::Widgets Qt5::Sql GTest::gtest)
        if(TARGET ${lib})
            get_target_property(dirs ${lib} INTERFACE_INCLUDE_DIRECTORIES)
            list(APPEND MM_PCH_INCLUDES ${dirs})
        endif()
    endforeach()
    # Static libraries both: Qt asks every file to be position independent (-fPIC comes last
    # also for programs), and the header must be built with the flags of the files using it.
    set(host_source ${PROJECT_SOURCE_DIR}/cmake/pchhost.cpp)
    add_library(mm_pch_library STATIC ${host_source})
    add_library(mm_pch_test STATIC ${host_source})
    target_link_libraries(mm_pch_library PRIVATE Qt5::Core)
    target_link_libraries(mm_pch_test PRIVATE Qt5::Core GTest::gtest)
    # C++ only: a C file would not read them.
    set(headers)
    foreach(header ${MM_PCH_HEADERS})
        list(APPEND headers "$<$<COMPILE_LANGUAGE:CXX>:${header}>")
    endforeach()
    foreach(host mm_pch_library mm_pch_test)
        set_target_properties(${host} PROPERTIES AUTOMOC OFF EXCLUDE_FROM_ALL ON)
        mm_pch_settings(${host})
        target_precompile_headers(${host} PRIVATE ${headers})
    endforeach()
    target_precompile_headers(mm_pch_test PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:<gtest/gtest.h>>")
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        get_target_property(imported ${target} IMPORTED)
        if(imported)
            continue()
        endif()
        if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY)$")
            continue()
        endif()
        mm_links_qt(${target} qt)
        if(NOT qt)
            continue()
        endif()
        get_target_property(libs ${target} LINK_LIBRARIES)
        if(type STREQUAL "EXECUTABLE" AND "GTest::gtest" IN_LIST libs)
            set(host mm_pch_test)
        else()
            set(host mm_pch_library)
        endif()
        mm_pch_settings(${target})
        target_precompile_headers(${target} REUSE_FROM ${host})
    endforeach()
endfunction()
