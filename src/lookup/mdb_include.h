#pragma once

// The one way into libmdb. Its header includes <glib.h> inside its own extern "C" block, where
// glib's C++ templates cannot be declared; with glib included first, that inner include is a
// no-op and the header compiles as C++.
#include <glib.h>

#include <mdbtools.h>
