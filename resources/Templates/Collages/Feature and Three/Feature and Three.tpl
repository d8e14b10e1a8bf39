<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="2400" ImageSizeY="1800" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="2400" ImageSizeY="1800" BackDPI="300" BackUnitType="0" Landscape="1" Type="1" Image="soft_linen.jpg" ImageType="1">
    <sceneobject Type="0" Version="4" BoundingBoxLeft="90" BoundingBoxTop="90" BoundingBoxRight="1530" BoundingBoxBottom="1710" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="0" ColorBorderColor="16777215" ColorBorderWidth="10"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="1620" BoundingBoxTop="90" BoundingBoxRight="2310" BoundingBoxBottom="590" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="0" ColorBorderColor="16777215" ColorBorderWidth="10"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="1620" BoundingBoxTop="650" BoundingBoxRight="2310" BoundingBoxBottom="1150" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="0" ColorBorderColor="16777215" ColorBorderWidth="10"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="1620" BoundingBoxTop="1210" BoundingBoxRight="2310" BoundingBoxBottom="1710" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="0" ColorBorderColor="16777215" ColorBorderWidth="10"/>
  </scenegraph>
</root>
