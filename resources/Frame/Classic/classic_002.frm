<?xml version="1.0" encoding="UTF-8"?>
<Frame MarginLeft="83" MarginRight="83" MarginTop="83" MarginBottom="83"/>
