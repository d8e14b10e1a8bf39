<?xml version="1.0" encoding="UTF-8"?>
<root>
<info Version="7" Product="P" Company="C"/>
<vrtpropage Version="4" ImageSizeX="2480" ImageSizeY="3508" PageCount="2" BackDPI="300"/>
<scenegraph Type="0" ColorFillType="1" FillColor="16777215" FillColor2="255" ImageSizeX="210" ImageSizeY="297" BackUnitType="1" BackDPI="300" Landscape="NO">
<sceneobject Type="0" Version="4" Angle="10" BoundingBoxLeft="100" BoundingBoxTop="50" BoundingBoxRight="300" BoundingBoxBottom="250" Transparent="1" Image="\photos\a.jpg" EffectName="Sepia" EnableMask="YES" MaskName="m.png" EnableFrame="NO" BorderType="0" ColorBorderColor="0" ColorBorderWidth="3" RoundWidth="4" EnableShadow="YES" ShadowColor="0" ShadowAlpha="50" ShadowSmooth="2" ShadowAngle="135" ShadowOffsetX="5" CropLeft="0" CropTop="1" CropRight="1" CropBottom="0"/>
<sceneobject Type="1" TextString="Happy\r\nBirthday" lfFaceName="DejaVu Sans" lfItalic="0" b_bold="1" fcolor="255" align="1" IsGradient="1" TextColor2="65280" GradientDirection="2" IsStrokeEnable="1" StrokeWidth="0" bkWidth="0" BoundingBoxLeft="10" BoundingBoxTop="10" BoundingBoxRight="400" BoundingBoxBottom="90"/>
<sceneobject Type="2" Image="flowers\rose.png" BoundingBoxRight="50" BoundingBoxBottom="50"/>
</scenegraph>
<scenegraph Type="1" Image="tile\paper.jpg" ImageType="2">
<sceneobject Type="3" year="2027" firstMonth="1" monthCount="12" weekday_0="S" month_0="Jan" hasWeekday="1" weekdayColor="4278190335" hasAdjacentDay="0" backgroundColor="4294967295"/>
<sceneobject Type="4" ShapeType="2" ShapeLineWidth="3"/>
<sceneobject Type="7"/>
</scenegraph>
</root>
