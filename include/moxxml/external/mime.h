// The MIME layer: header parsing, entity descriptions, output targets, the tree builder
// and the message parser.
#pragma once

#include <moxxml/external/mime_entity.h>
#include <moxxml/external/mime_header.h>
#include <moxxml/external/mime_parser.h>
#include <moxxml/external/mime_tree.h>
