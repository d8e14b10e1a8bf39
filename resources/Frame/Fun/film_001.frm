<?xml version="1.0" encoding="UTF-8"?>
<Frame MarginLeft="37" MarginRight="37" MarginTop="87" MarginBottom="87"/>
