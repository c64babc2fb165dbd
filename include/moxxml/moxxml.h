// Umbrella header: every exported class, both tables, the codes, the tools and MIME layers, and
// the version.
#pragma once

#include <moxxml/builder/builder.h>
#include <moxxml/external/exception.h>
#include <moxxml/external/mime.h>
#include <moxxml/external/tools.h>
#include <moxxml/mime/mdn_capture.h>
#include <moxxml/msg/attr.h>
#include <moxxml/msg/element.h>
#include <moxxml/msg/mime_headers.h>
#include <moxxml/msg/payload.h>
#include <moxxml/msg/root_element.h>
#include <moxxml/version.h>
#include <moxxml/xml/attr.h>
#include <moxxml/xml/codes.h>
#include <moxxml/xml/element.h>
#include <moxxml/xml/object.h>
#include <moxxml/xml/platform.h>
