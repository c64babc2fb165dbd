// Umbrella header: every exported class, both tables, the codes, the tools and MIME layers.
#pragma once

#include <moxxml/external/exception.h>
#include <moxxml/external/mime.h>
#include <moxxml/mime/mdn_capture.h>
#include <moxxml/xml/codes.h>
