<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="2480" ImageSizeY="3508" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="2480" ImageSizeY="3508" BackDPI="300" BackUnitType="0" Landscape="0" Type="1" Image="morning_sky.jpg" ImageType="1">
    <sceneobject Type="1" Version="4" BoundingBoxLeft="390" BoundingBoxTop="200" BoundingBoxRight="2090" BoundingBoxBottom="789.3" Angle="0" Transparent="1.0" Visible="1" TextString="Adventure\r\nAwaits" lfFaceName="DejaVu Sans" b_bold="1" lfItalic="0" lfUnderline="0" fcolor="16777215" align="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="40" ShadowSmooth="6" ShadowAngle="315" ShadowOffsetX="4" IsGradient="1" TextColor2="16770760" GradientDirection="1" IsStrokeEnable="1" EffectStrokeColor="7882270" StrokeWidth="16"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="180" BoundingBoxTop="1180" BoundingBoxRight="2300" BoundingBoxBottom="2680" Angle="2" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="0" ColorBorderColor="16777215" ColorBorderWidth="16"/>
    <sceneobject Type="1" Version="4" BoundingBoxLeft="490" BoundingBoxTop="2850" BoundingBoxRight="1990" BoundingBoxBottom="2973.2" Angle="0" Transparent="1.0" Visible="1" TextString="Pack light. Go far." lfFaceName="DejaVu Serif" b_bold="0" lfItalic="1" lfUnderline="0" fcolor="7226920" align="1" EnableShadow="0" ShadowColor="0" ShadowAlpha="40" ShadowSmooth="6" ShadowAngle="315" ShadowOffsetX="4"/>
    <sceneobject Type="2" Version="4" BoundingBoxLeft="2050" BoundingBoxTop="2620" BoundingBoxRight="2330" BoundingBoxBottom="2900" Angle="0" Transparent="1.0" Visible="1" Image="star_gold.png"/>
  </scenegraph>
</root>
