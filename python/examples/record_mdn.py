# Records one received AS2 MDN as a message document and prints it.
import sys

import moxxml

with open(sys.argv[1], "rb") as received:
    capture = moxxml.parse_message(received)  # the MIME tree and the MDN's fields

builder = moxxml.Builder()
builder.set_applinfo_name("example-gateway")
builder.set_applinfo_status("ok" if capture.is_mdn else "not an MDN")
builder.set_transport_origin("https://partner.example/as2")
builder.add_transport_protocol("AS2", "1.2", "AS2-From: partner\r\nAS2-To: us\r\n")
builder.set_msginfo_direction("received")
builder.set_msginfo_mime(capture)
builder.set_payload(b"UNB+UNOA:1+PARTNER+US'", encoding="base64")
print(builder.serialize(pretty=True))
