#!/usr/bin/env python3
"""Independent reading of a multipart/form-data body: prints its parts as JSON.

usage: parse_multipart.py BODYFILE CONTENT-TYPE
Checks the framing strictly (delimiters, CRLF, closing delimiter) before handing the body
to the standard library's MIME parser for the headers and contents."""
import base64, json, sys
from email.parser import BytesParser
from email import policy

body = open(sys.argv[1], 'rb').read()
ctype = sys.argv[2]
boundary = ctype.split('boundary=', 1)[1].encode()
delim = b'--' + boundary
assert body.startswith(delim + b'\r\n') or body == b'\r\n' + delim + b'--\r\n', 'body must open with the delimiter'
assert body.endswith(b'\r\n' + delim + b'--\r\n'), 'body must end with the closing delimiter'
msg = BytesParser(policy=policy.HTTP).parsebytes(b'Content-Type: ' + ctype.encode() + b'\r\n\r\n' + body)
assert msg.is_multipart(), 'not multipart'
parts = []
for p in msg.iter_parts():
    cd = p.get('Content-Disposition')
    assert cd is not None and cd.startswith('form-data'), 'missing form-data disposition'
    parts.append({
        'name': p.get_param('name', header='content-disposition'),
        'filename': p.get_filename(),
        'content_type': p.get('Content-Type'),
        'data': base64.b64encode(p.get_payload(decode=True) or b'').decode(),
    })
print(json.dumps(parts, ensure_ascii=False))
