<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="1772" ImageSizeY="1181" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="1772" ImageSizeY="1181" BackDPI="300" BackUnitType="0" Landscape="1" Type="1" Image="blush_rose.jpg" ImageType="1">
    <sceneobject Type="0" Version="4" BoundingBoxLeft="110" BoundingBoxTop="110" BoundingBoxRight="870" BoundingBoxBottom="1070" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="1" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" MaskName="rounded_001.jpg"/>
    <sceneobject Type="1" Version="4" BoundingBoxLeft="960" BoundingBoxTop="330" BoundingBoxRight="1660" BoundingBoxBottom="451.3" Angle="0" Transparent="1.0" Visible="1" TextString="Thank You" lfFaceName="DejaVu Serif" b_bold="0" lfItalic="1" lfUnderline="0" fcolor="5913750" align="1" EnableShadow="0" ShadowColor="0" ShadowAlpha="40" ShadowSmooth="6" ShadowAngle="315" ShadowOffsetX="4"/>
    <sceneobject Type="1" Version="4" BoundingBoxLeft="970" BoundingBoxTop="600" BoundingBoxRight="1650" BoundingBoxBottom="642.4" Angle="0" Transparent="1.0" Visible="1" TextString="for being part of our day" lfFaceName="DejaVu Sans" b_bold="0" lfItalic="0" lfUnderline="0" fcolor="6576760" align="1" EnableShadow="0" ShadowColor="0" ShadowAlpha="40" ShadowSmooth="6" ShadowAngle="315" ShadowOffsetX="4"/>
    <sceneobject Type="2" Version="4" BoundingBoxLeft="1500" BoundingBoxTop="860" BoundingBoxRight="1720" BoundingBoxBottom="1080" Angle="0" Transparent="1.0" Visible="1" Image="flower_pink.png"/>
    <sceneobject Type="2" Version="4" BoundingBoxLeft="1360" BoundingBoxTop="900" BoundingBoxRight="1520" BoundingBoxBottom="1060" Angle="0" Transparent="1.0" Visible="1" Image="leaf_green.png"/>
  </scenegraph>
</root>
