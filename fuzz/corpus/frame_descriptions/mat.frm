<?xml version="1.0" encoding="UTF-8"?>
<Frame MarginLeft="77" MarginRight="77" MarginTop="77" MarginBottom="91"/>
