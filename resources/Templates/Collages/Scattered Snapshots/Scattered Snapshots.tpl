<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="2400" ImageSizeY="1800" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="2400" ImageSizeY="1800" BackDPI="300" BackUnitType="0" Landscape="1" Type="1" Image="polka_dots.jpg" ImageType="0">
    <sceneobject Type="0" Version="4" BoundingBoxLeft="160" BoundingBoxTop="180" BoundingBoxRight="800" BoundingBoxBottom="900" Angle="8" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="1" FrameName="polaroid_001.png"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="880" BoundingBoxTop="120" BoundingBoxRight="1520" BoundingBoxBottom="840" Angle="-5" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="1" FrameName="polaroid_001.png"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="1560" BoundingBoxTop="220" BoundingBoxRight="2200" BoundingBoxBottom="940" Angle="6" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="1" FrameName="polaroid_001.png"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="420" BoundingBoxTop="900" BoundingBoxRight="1060" BoundingBoxBottom="1620" Angle="-7" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="1" FrameName="polaroid_001.png"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="1180" BoundingBoxTop="960" BoundingBoxRight="1820" BoundingBoxBottom="1680" Angle="4" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="1" FrameName="polaroid_001.png"/>
  </scenegraph>
</root>
