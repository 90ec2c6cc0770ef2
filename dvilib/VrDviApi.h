// Export marker of the classes and functions of VrDviLib.
#pragma once

#define VRDVI_API __attribute__((visibility("default")))
