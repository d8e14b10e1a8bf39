"""Parses a multipart/form-data body with Python's email package and prints its parts as JSON.

Usage: facebook_multipart.py <content-type header> <body file> <folder for file parts>
Prints {"fields": {name: text}, "files": [{"name", "filename", "type", "path"}], "defects": [...]}.
"""
import json
import os
import sys
from email.parser import BytesParser
from email.policy import HTTP

content_type, body_path, folder = sys.argv[1:4]
with open(body_path, "rb") as f:
    body = f.read()
message = BytesParser(policy=HTTP).parsebytes(
    b"Content-Type: " + content_type.encode() + b"\r\nMIME-Version: 1.0\r\n\r\n" + body)
result = {"fields": {}, "files": [], "defects": [type(d).__name__ for d in message.defects],
          "multipart": message.is_multipart()}
for index, part in enumerate(message.iter_parts() if message.is_multipart() else []):
    result["defects"] += [type(d).__name__ for d in part.defects]
    name = part.get_param("name", header="content-disposition")
    filename = part.get_filename()
    payload = part.get_payload(decode=True)
    if filename is None:
        result["fields"][name] = payload.decode("utf-8")
    else:
        path = os.path.join(folder, "part%d" % index)
        with open(path, "wb") as f:
            f.write(payload)
        result["files"].append({"name": name, "filename": filename,
                                "type": part.get_content_type(), "path": path})
print(json.dumps(result))
