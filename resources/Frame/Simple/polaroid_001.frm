<?xml version="1.0" encoding="UTF-8"?>
<Frame MarginLeft="30" MarginRight="30" MarginTop="30" MarginBottom="132"/>
