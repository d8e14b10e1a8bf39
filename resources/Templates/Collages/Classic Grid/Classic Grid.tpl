<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="2400" ImageSizeY="1800" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="2400" ImageSizeY="1800" BackDPI="300" BackUnitType="0" Landscape="1" Type="0" FillColor="16777215" FillColor2="16777215" ColorFillType="0">
    <sceneobject Type="0" Version="4" BoundingBoxLeft="90.0" BoundingBoxTop="90.0" BoundingBoxRight="1175.0" BoundingBoxBottom="875.0" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="0" EnableShadow="0" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="1225.0" BoundingBoxTop="90.0" BoundingBoxRight="2310.0" BoundingBoxBottom="875.0" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="0" EnableShadow="0" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="90.0" BoundingBoxTop="925.0" BoundingBoxRight="1175.0" BoundingBoxBottom="1710.0" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="0" EnableShadow="0" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="1225.0" BoundingBoxTop="925.0" BoundingBoxRight="2310.0" BoundingBoxBottom="1710.0" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="0" EnableShadow="0" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8"/>
  </scenegraph>
</root>
