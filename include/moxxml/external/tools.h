// The tools layer: MoxException and the transfer-encoding filters with their container.
#pragma once

#include <moxxml/external/base64.h>
#include <moxxml/external/exception.h>
#include <moxxml/external/filter.h>
#include <moxxml/external/quoted_printable.h>
