// The version that the build sets from the project's declaration.
#pragma once

#ifndef VANTREL_VERSION
#define VANTREL_VERSION "0.0.0"
#endif
